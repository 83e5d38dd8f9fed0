#include "cli/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

namespace pandicube {

bool OutputFile::Open(std::ostream& err, const std::string& command, bool append)
{
    errno = 0;
    stream_.open(part_, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    if (stream_.is_open()) return true;
    err << "pandicube-search: " << command << "cannot write " << part_ << ": "
        << (errno != 0 ? std::strerror(errno) : "unknown error") << '\n';
    return false;
}

bool OutputFile::Commit(std::ostream& err, const std::string& command)
{
    errno = 0;
    stream_.close();
    if (!stream_.fail() && std::rename(part_.c_str(), path_.c_str()) == 0) return true;
    err << "pandicube-search: " << command << "cannot write " << path_ << ": "
        << (errno != 0 ? std::strerror(errno) : "unknown error") << '\n';
    return false;
}

} // namespace pandicube

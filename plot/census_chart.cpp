#include "plot/census_chart.h"

#include <QApplication>
#include <QChart>
#include <QGraphicsScene>
#include <QIODevice>
#include <QImage>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QString>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <memory>

namespace pandicube {

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 640;

// A count holds from its bound up to the next bound that occurs: the curve
// is a staircase.
QLineSeries* Staircase(const std::vector<CensusPoint>& points, std::int64_t CensusPoint::*count, const QString& name)
{
    auto* series = new QLineSeries;
    series->setName(name);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double x = points[i].bound;
        if (i > 0) series->append(x, static_cast<double>(points[i - 1].*count));
        series->append(x, static_cast<double>(points[i].*count));
    }
    return series;
}

std::unique_ptr<QChart> MakeChart(const std::vector<CensusPoint>& points, const std::string& title)
{
    auto chart = std::make_unique<QChart>();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setTitle(QString::fromStdString(title));
    chart->legend()->setAlignment(Qt::AlignBottom);

    auto* bounds = new QValueAxis;
    bounds->setTitleText(QStringLiteral("bound U (the largest value of a cube)"));
    bounds->setLabelFormat(QStringLiteral("%.0f"));
    const double first = points.front().bound;
    const double last = points.back().bound;
    bounds->setRange(first, last > first ? last : first + 1);
    bounds->applyNiceNumbers();
    chart->addAxis(bounds, Qt::AlignBottom);

    auto* counts = new QLogValueAxis;
    counts->setTitleText(QStringLiteral("cubes and classes with largest value at most U"));
    counts->setBase(10);
    counts->setLabelFormat(QStringLiteral("%g"));
    const std::int64_t most = std::max(points.back().cubesUpTo, points.back().classesUpTo);
    counts->setRange(1, static_cast<double>(std::max<std::int64_t>(most, 1)) * 2);
    chart->addAxis(counts, Qt::AlignLeft);

    for (QLineSeries* series : {Staircase(points, &CensusPoint::cubesUpTo, QStringLiteral("cubes")),
                                Staircase(points, &CensusPoint::classesUpTo, QStringLiteral("classes"))}) {
        chart->addSeries(series);
        series->attachAxis(bounds);
        series->attachAxis(counts);
    }
    return chart;
}

} // namespace

std::optional<PictureKind> PictureKindOf(const std::string& path)
{
    const QString name = QString::fromStdString(path);
    if (name.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) return PictureKind::Svg;
    if (name.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) return PictureKind::Png;
    return std::nullopt;
}

std::optional<std::string> DrawCensus(const std::vector<CensusPoint>& points, const std::string& title,
                                      QIODevice& device, PictureKind kind)
{
    if (points.empty()) return "the census has no bound to draw";
    QGraphicsScene scene;
    QChart* chart = MakeChart(points, title).release();
    scene.addItem(chart); // the scene owns the chart from here
    chart->setGeometry(0, 0, kWidth, kHeight);
    scene.setSceneRect(0, 0, kWidth, kHeight);
    QApplication::processEvents(); // lets the chart lay out its axes and legend

    if (kind == PictureKind::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&device);
        svg.setSize(QSize(kWidth, kHeight));
        svg.setViewBox(QRect(0, 0, kWidth, kHeight));
        svg.setTitle(QString::fromStdString(title));
        QPainter painter;
        if (!painter.begin(&svg)) return "cannot draw the picture";
        scene.render(&painter);
        painter.end();
    } else {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter);
        painter.end();
        if (!image.save(&device, "PNG")) return "cannot draw the picture";
    }
    return std::nullopt;
}

} // namespace pandicube

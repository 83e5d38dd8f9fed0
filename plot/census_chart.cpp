#include "plot/census_chart.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsScene>
#include <QIODevice>
#include <QImage>
#include <QLegend>
#include <QLineSeries>
#include <QPainter>
#include <QString>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

namespace pandicube {

namespace {

// The picture's text and lines are drawn for this size and scaled with it.
constexpr double kDesignWidth = 1000;
constexpr double kDesignHeight = 640;

// "10" with the power as superscript digits: the count axis's labels.
QString PowerOfTen(int power)
{
    static const char16_t* const kDigits[] = {u"\u2070", u"\u00b9", u"\u00b2", u"\u00b3", u"\u2074",
                                              u"\u2075", u"\u2076", u"\u2077", u"\u2078", u"\u2079"};
    QString text;
    for (const QChar digit : QString::number(power)) text += QString::fromUtf16(kDigits[digit.digitValue()]);
    return QStringLiteral("10") + text;
}

// An axis over the bounds from `lo` to `hi` with whole-numbered ticks 1, 2
// or 5 times a power of ten apart; a census of one bound gets a few bounds
// either side of it.
struct BoundAxis {
    double lo = 0;
    double hi = 0;
    int ticks = 0;
};

BoundAxis BoundAxisOf(std::int32_t first, std::int32_t last)
{
    double lo = first;
    double hi = last;
    if (hi <= lo) lo -= 2, hi += 2;
    double step = 1;
    for (double scale = 1; step < (hi - lo) / 8; scale *= 10)
        for (const double nice : {1.0, 2.0, 5.0})
            if (step < (hi - lo) / 8) step = nice * scale;
    BoundAxis axis;
    axis.lo = std::floor(lo / step) * step;
    axis.hi = std::ceil(hi / step) * step;
    axis.ticks = static_cast<int>(std::lround((axis.hi - axis.lo) / step)) + 1;
    return axis;
}

// The count of a step drawn on the axis of powers of ten.
double Height(std::int64_t count)
{
    return std::log10(static_cast<double>(std::max<std::int64_t>(count, 1)));
}

void ScaleFont(const std::function<QFont()>& get, const std::function<void(const QFont&)>& set, double scale)
{
    QFont font = get();
    font.setPointSizeF(font.pointSizeF() * scale);
    set(font);
}

// The chart's axes and its two (yet empty) series, laid out at `size`.
QChart* MakeChart(const CensusCurve& curve, const std::string& title, PictureSize size, QGraphicsScene& scene,
                  const BoundAxis& axis)
{
    auto* chart = new QChart;
    scene.addItem(chart); // the scene owns the chart from here
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setTitle(QString::fromStdString(title));
    chart->legend()->setAlignment(Qt::AlignBottom);

    auto* bounds = new QValueAxis;
    bounds->setTitleText(QStringLiteral("bound U (the largest value of a cube)"));
    bounds->setLabelFormat(QStringLiteral("%.0f"));
    bounds->setRange(axis.lo, axis.hi);
    bounds->setTickCount(axis.ticks);
    chart->addAxis(bounds, Qt::AlignBottom);

    // A logarithmic axis drawn as a linear one over the powers of ten, so
    // that each label is a power of ten written alike.
    auto* counts = new QCategoryAxis;
    counts->setTitleText(QStringLiteral("cubes and classes with largest value at most U"));
    counts->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const CensusCurve::Step& end = curve.Steps().back();
    const int top = static_cast<int>(std::floor(Height(std::max(end.cubesUpTo, end.classesUpTo)))) + 1;
    for (int power = 0; power <= top; ++power) counts->append(PowerOfTen(power), power);
    counts->setRange(0, top);
    chart->addAxis(counts, Qt::AlignLeft);

    for (const char16_t* name : {u"cubes", u"classes"}) {
        auto* series = new QLineSeries;
        series->setName(QString::fromUtf16(name));
        chart->addSeries(series);
        series->attachAxis(bounds);
        series->attachAxis(counts);
        QPen pen = series->pen();
        pen.setWidthF(pen.widthF() * size.width / kDesignWidth);
        series->setPen(pen);
    }

    const double scale = std::min(size.width / kDesignWidth, size.height / kDesignHeight);
    ScaleFont([chart] { return chart->titleFont(); }, [chart](const QFont& f) { chart->setTitleFont(f); }, scale);
    ScaleFont([chart] { return chart->legend()->font(); }, [chart](const QFont& f) { chart->legend()->setFont(f); },
              scale);
    for (QAbstractAxis* a : {static_cast<QAbstractAxis*>(bounds), static_cast<QAbstractAxis*>(counts)}) {
        ScaleFont([a] { return a->titleFont(); }, [a](const QFont& f) { a->setTitleFont(f); }, scale);
        ScaleFont([a] { return a->labelsFont(); }, [a](const QFont& f) { a->setLabelsFont(f); }, scale);
    }

    chart->setGeometry(0, 0, size.width, size.height);
    scene.setSceneRect(0, 0, size.width, size.height);
    QApplication::processEvents(); // lets the chart lay out its axes and legend
    return chart;
}

// The staircase of each series with the steps of one pixel column of the
// plot area drawn as one: up from the counts before the column's first
// bound to those after its last. The picture is the same as with every
// step, and its points are at most three per column.
void DrawSteps(const CensusCurve& curve, const BoundAxis& axis, double columns, QLineSeries* cubes,
               QLineSeries* classes)
{
    QList<QPointF> cubePoints;
    QList<QPointF> classPoints;
    const auto add = [](QList<QPointF>& points, double x, std::int64_t count) {
        const QPointF point(x, Height(count));
        if (points.isEmpty() || points.back() != point) points.append(point);
    };
    const auto columnOf = [&](std::int32_t bound) {
        return static_cast<std::int64_t>(std::floor((bound - axis.lo) / (axis.hi - axis.lo) * columns));
    };
    const std::vector<CensusCurve::Step>& steps = curve.Steps();
    for (std::size_t i = 0; i < steps.size();) {
        const CensusCurve::Step& first = steps[i];
        const std::int64_t column = columnOf(first.first);
        while (i + 1 < steps.size() && columnOf(steps[i + 1].first) == column) ++i;
        const CensusCurve::Step& last = steps[i++];
        for (auto [points, before, upTo] : {std::tuple(&cubePoints, first.cubesBefore, last.cubesUpTo),
                                            std::tuple(&classPoints, first.classesBefore, last.classesUpTo)}) {
            add(*points, first.first, before);
            add(*points, first.first, upTo);
            add(*points, last.last, upTo);
        }
    }
    add(cubePoints, curve.End(), steps.back().cubesUpTo);
    add(classPoints, curve.End(), steps.back().classesUpTo);
    // A census of one bound at the run's own bound is one point.
    cubes->setPointsVisible(cubePoints.size() == 1);
    classes->setPointsVisible(classPoints.size() == 1);
    cubes->replace(cubePoints);
    classes->replace(classPoints);
}

} // namespace

void CensusCurve::Add(const CensusPoint& point)
{
    if (steps_.empty()) {
        origin_ = point.bound;
        steps_.push_back(
            {point.bound, point.bound, point.cubesUpTo, point.classesUpTo, point.cubesUpTo, point.classesUpTo});
        return;
    }
    while (StepOf(point.bound) >= kMaxSteps) Widen();
    Step& back = steps_.back();
    if (StepOf(point.bound) == StepOf(back.first)) {
        back.last = point.bound;
        back.cubesUpTo = point.cubesUpTo;
        back.classesUpTo = point.classesUpTo;
    } else {
        steps_.push_back(
            {point.bound, point.bound, back.cubesUpTo, back.classesUpTo, point.cubesUpTo, point.classesUpTo});
    }
}

// Twice the bounds per step: neighbours that now share one are joined.
void CensusCurve::Widen()
{
    ++shift_;
    std::size_t kept = 0;
    for (std::size_t i = 1; i < steps_.size(); ++i) {
        if (StepOf(steps_[i].first) == StepOf(steps_[kept].first)) {
            steps_[kept].last = steps_[i].last;
            steps_[kept].cubesUpTo = steps_[i].cubesUpTo;
            steps_[kept].classesUpTo = steps_[i].classesUpTo;
        } else {
            steps_[++kept] = steps_[i];
        }
    }
    steps_.resize(kept + 1);
}

std::string CensusTitle(std::int32_t runBound, unsigned sliceIndex, unsigned sliceCount)
{
    std::string title = "Cubes and classes with largest value at most U, up to U = " + std::to_string(runBound);
    if (sliceCount > 1) title += ", slice " + std::to_string(sliceIndex) + " of " + std::to_string(sliceCount);
    return title;
}

std::optional<PictureKind> PictureKindOf(const std::string& path)
{
    const QString name = QString::fromStdString(path);
    if (name.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) return PictureKind::Svg;
    if (name.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) return PictureKind::Png;
    return std::nullopt;
}

std::optional<std::string> DrawCensus(const CensusCurve& curve, const std::string& title, QIODevice& device,
                                      PictureKind kind, PictureSize size)
{
    if (curve.Empty()) return "the census has no bound to draw";
    QGraphicsScene scene;
    const BoundAxis axis = BoundAxisOf(curve.Steps().front().first, curve.End());
    QChart* chart = MakeChart(curve, title, size, scene, axis);
    const QList<QAbstractSeries*> series = chart->series();
    DrawSteps(curve, axis, chart->plotArea().width(), static_cast<QLineSeries*>(series[0]),
              static_cast<QLineSeries*>(series[1]));

    if (kind == PictureKind::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&device);
        svg.setSize(QSize(size.width, size.height));
        svg.setViewBox(QRect(0, 0, size.width, size.height));
        svg.setTitle(QString::fromStdString(title));
        QPainter painter;
        if (!painter.begin(&svg)) return "cannot draw the picture";
        scene.render(&painter);
        painter.end();
    } else {
        QImage image(size.width, size.height, QImage::Format_ARGB32);
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

#include "pdfreport.h"

#include "textforms.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace files {

namespace {

// Painter units per point: fine enough for the fonts' whole pixel sizes.
constexpr int kUnitsPerPoint = 10;
constexpr int kResolution = 72 * kUnitsPerPoint;

qreal pt(qreal points) {
    return points * kUnitsPerPoint;
}

QFont fontOf(qreal points, bool bold = false) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(int(pt(points)));
    font.setBold(bold);
    return font;
}

QString talkTime(double seconds) {
    if (!std::isfinite(seconds) || std::abs(seconds) > 9e15)
        return QStringLiteral("unknown");
    return TextForms::TalkTimeText(qint64(std::floor(seconds)));
}

QString hourText(int hour) {
    return QStringLiteral("%1:00-%2:00")
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(hour + 1, 2, 10, QLatin1Char('0'));
}

// One line of the tables' pages: a section's title, its column titles or one of its rows.
struct TableLine {
    enum class Kind { Section, Columns, Row, Nothing } kind;
    QString first;
    const NumberRow* row = nullptr;
};

class Painter {
public:
    Painter(QPdfWriter& writer, const ReportFigures& figures)
        : writer_(writer), figures_(figures), painter_(&writer) {
        page_ = QRectF(0, 0, writer.width(), writer.height());
        body_ = page_.adjusted(0, 0, 0, -pt(24)); // room for the footer
    }

    bool ok() const { return painter_.isActive(); }

    void paint() {
        const std::vector<TableLine> lines = tableLines();
        const int perPage = std::max(1, int(body_.height() / pt(kRowPoints)));
        const int pages = 1 + int((qsizetype(lines.size()) + perPage - 1) / perPage);
        paintFirstPage();
        footer(1, pages);
        for (int page = 2; page <= pages; ++page) {
            writer_.newPage();
            const size_t from = size_t(page - 2) * size_t(perPage);
            const size_t to = std::min(lines.size(), from + size_t(perPage));
            qreal y = body_.top();
            for (size_t i = from; i < to; ++i, y += pt(kRowPoints))
                paintLine(lines[i], y);
            footer(page, pages);
        }
        painter_.end();
    }

private:
    static constexpr qreal kRowPoints = 14;

    void text(const QRectF& box, int flags, const QString& text, const QFont& font) {
        painter_.setFont(font);
        painter_.setPen(Qt::black);
        painter_.drawText(box, flags, text);
    }

    void paintFirstPage() {
        qreal y = body_.top();
        text(QRectF(0, y, page_.width(), pt(24)), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Call report"), fontOf(18, true));
        y += pt(28);
        const QString period = figures_.first == figures_.last
                                   ? figures_.first.toString(Qt::ISODate)
                                   : QStringLiteral("%1 to %2")
                                         .arg(figures_.first.toString(Qt::ISODate),
                                              figures_.last.toString(Qt::ISODate));
        text(QRectF(0, y, page_.width(), pt(14)), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Period: ") + period, fontOf(10));
        y += pt(14);
        text(QRectF(0, y, page_.width(), pt(14)), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Calls: ") + TextForms::VisibleText(figures_.filter), fontOf(10));
        y += pt(22);

        const QString notKnown = QStringLiteral("not known");
        const std::pair<QString, QString> totals[] = {
            {QStringLiteral("Calls"), QString::number(figures_.calls)},
            {QStringLiteral("Busiest hour"),
             figures_.busiestHour ? hourText(*figures_.busiestHour) : QStringLiteral("none")},
            {QStringLiteral("Talk time"), talkTime(figures_.talkSeconds)},
            {QStringLiteral("Peak at once"), QString::number(figures_.peakAtOnce)},
            {QStringLiteral("Calls with no talk time"),
             figures_.capacity.callsWithoutTalk
                 ? QString::number(*figures_.capacity.callsWithoutTalk)
                 : notKnown},
            {QStringLiteral("Lines needed"), figures_.capacity.linesNeeded
                                                 ? QString::number(*figures_.capacity.linesNeeded)
                                                 : notKnown},
        };
        const qreal half = page_.width() / 2;
        for (int i = 0; i < 6; ++i) {
            const qreal x = (i % 2) * half;
            const qreal rowY = y + (i / 2) * pt(16);
            text(QRectF(x, rowY, half * 0.6, pt(16)), Qt::AlignLeft | Qt::AlignVCenter,
                 totals[i].first, fontOf(10));
            text(QRectF(x + half * 0.6, rowY, half * 0.35, pt(16)),
                 Qt::AlignRight | Qt::AlignVCenter, totals[i].second, fontOf(10, true));
        }
        y += 3 * pt(16) + pt(12);

        const qreal chartHeight = (body_.bottom() - y) / 3;
        const qreal gap = pt(10);
        charts::PaintByHour(painter_, QRectF(0, y, page_.width(), chartHeight - gap),
                            figures_.callsByHour);
        y += chartHeight;
        charts::PaintWeekByHour(painter_, QRectF(0, y, page_.width(), chartHeight - gap),
                                figures_.callsByWeekdayHour);
        y += chartHeight;
        charts::PaintByDay(painter_, QRectF(0, y, page_.width(), chartHeight - gap),
                           figures_.callsByDay);
    }

    std::vector<TableLine> tableLines() const {
        std::vector<TableLine> lines;
        const auto section = [&lines](const QString& title, const QString& first,
                                      const std::vector<NumberRow>& rows) {
            if (!lines.empty())
                lines.push_back({TableLine::Kind::Nothing, {}}); // a blank line between
            lines.push_back({TableLine::Kind::Section, title});
            lines.push_back({TableLine::Kind::Columns, first});
            for (const NumberRow& row : rows)
                lines.push_back({TableLine::Kind::Row, {}, &row});
            if (rows.empty())
                lines.push_back({TableLine::Kind::Nothing, QStringLiteral("None")});
        };
        section(QStringLiteral("Extensions"), QStringLiteral("Extension"), figures_.extensions);
        section(QStringLiteral("Numbers with the most calls"), QStringLiteral("Number"),
                figures_.topNumbers);
        return lines;
    }

    void paintLine(const TableLine& line, qreal y) {
        const qreal height = pt(kRowPoints);
        const qreal numberWidth = page_.width() * 0.4;
        const qreal figureWidth = (page_.width() - numberWidth) / 4;
        const auto cells = [&](const QStringList& values, bool bold) {
            const QFont font = fontOf(9, bold);
            const QFontMetricsF metrics(font, &writer_);
            text(QRectF(0, y, numberWidth, height), Qt::AlignLeft | Qt::AlignVCenter,
                 metrics.elidedText(values[0], Qt::ElideRight, numberWidth - pt(6)), font);
            for (int c = 1; c < values.size(); ++c)
                text(QRectF(numberWidth + figureWidth * (c - 1), y, figureWidth, height),
                     Qt::AlignRight | Qt::AlignVCenter, values[c], font);
        };
        switch (line.kind) {
        case TableLine::Kind::Section:
            text(QRectF(0, y, page_.width(), height), Qt::AlignLeft | Qt::AlignBottom, line.first,
                 fontOf(12, true));
            break;
        case TableLine::Kind::Columns:
            cells({line.first, QStringLiteral("Calls"), QStringLiteral("Placed"),
                   QStringLiteral("Received"), QStringLiteral("Talk time")},
                  true);
            painter_.setPen(QPen(Qt::black, 0));
            painter_.drawLine(QPointF(0, y + height), QPointF(page_.width(), y + height));
            break;
        case TableLine::Kind::Row: {
            const NumberRow& row = *line.row;
            cells({TextForms::VisibleText(QString::fromUtf8(row.number)),
                   QString::number(row.placed + row.received), QString::number(row.placed),
                   QString::number(row.received), talkTime(row.talkSeconds)},
                  false);
            break;
        }
        case TableLine::Kind::Nothing:
            text(QRectF(0, y, page_.width(), height), Qt::AlignLeft | Qt::AlignVCenter, line.first,
                 fontOf(9));
            break;
        }
    }

    void footer(int page, int pages) {
        const QRectF box(0, page_.bottom() - pt(14), page_.width(), pt(14));
        const QFont font = fontOf(8);
        text(box, Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Made %1 by Linetally")
                 .arg(figures_.made.toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
             font);
        text(box, Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("Page %1 of %2").arg(page).arg(pages), font);
    }

    QPdfWriter& writer_;
    const ReportFigures& figures_;
    QPainter painter_;
    QRectF page_, body_;
};

} // namespace

QPageSize LocalePaperSize() {
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
               ? QPageSize(QPageSize::Letter)
               : QPageSize(QPageSize::A4);
}

Result<QByteArray> PdfReport(const ReportFigures& figures, const QPageSize& paper) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Linetally"));
        writer.setTitle(QStringLiteral("Call report"));
        writer.setResolution(kResolution);
        writer.setPageLayout(QPageLayout(paper, QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                         QPageLayout::Millimeter));
        Painter painter(writer, figures);
        if (!painter.ok())
            return Failed<QByteArray>(QStringLiteral("The report cannot be drawn"));
        painter.paint();
    }
    return Succeeded(bytes);
}

} // namespace files

#include "statustext.h"

StatusText::StatusText(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setIndent(4);
}

void StatusText::setFullText(const QString& text) {
    // A driver's report may come in several lines: the first says what happened, the others
    // give hints, which the tooltip keeps.
    full_ = QString(text).replace(u'\n', u' ').replace(u'\t', u' ').simplified();
    firstLine_ = text.section(u'\n', 0, 0).simplified();
    // A tooltip that looks like markup is shown as rich text: the driver's words are escaped so
    // that they are shown as they are.
    setToolTip(full_.isEmpty() ? QString()
                               : QStringLiteral("<qt>%1</qt>").arg(full_.toHtmlEscaped()));
    elide();
}

QSize StatusText::minimumSizeHint() const {
    return QSize(0, QLabel::minimumSizeHint().height());
}

QSize StatusText::sizeHint() const {
    return QSize(0, QLabel::sizeHint().height());
}

void StatusText::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void StatusText::elide() {
    const int room = contentsRect().width() - 2 * margin() - indent() - 4;
    setText(room > 0 ? fontMetrics().elidedText(firstLine_, Qt::ElideRight, room) : firstLine_);
}

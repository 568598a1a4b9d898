#include "statustext.h"

StatusText::StatusText(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void StatusText::setFullText(const QString& text) {
    // One line: a driver's report may come in several.
    full_ = QString(text).replace(u'\n', u' ').replace(u'\t', u' ').simplified();
    setToolTip(full_);
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
    setText(room > 0 ? fontMetrics().elidedText(full_, Qt::ElideMiddle, room) : full_);
}

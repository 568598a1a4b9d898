#pragma once

#include <QLabel>

// A status bar text that shows as much of its first line as fits, cut at the end ("..."), and
// keeps the whole text as its tooltip. It takes whatever room its neighbours leave and never
// pushes them.
class StatusText : public QLabel {
    Q_OBJECT
public:
    explicit StatusText(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return full_; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();
    QString full_;
    QString firstLine_;
};

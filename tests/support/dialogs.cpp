#include "dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

MessageBoxAnswerer::MessageBoxAnswerer() : timer_(new QTimer) {
    timer_->setInterval(20);
    QObject::connect(timer_, &QTimer::timeout, [this] { poll(); });
    timer_->start();
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    delete timer_;
}

void MessageBoxAnswerer::clear() {
    texts_.clear();
    titles_.clear();
    informativeTexts_.clear();
}

void MessageBoxAnswerer::poll() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible() || box->property("answered").toBool())
            continue;
        box->setProperty("answered", true);
        texts_ << box->text();
        titles_ << box->windowTitle();
        informativeTexts_ << box->informativeText();
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            if (!label->text().isEmpty() && label->textFormat() != Qt::PlainText)
                allPlainText_ = false;
        }
        QPointer<QMessageBox> guard(box);
        QTimer::singleShot(0, [guard] {
            if (guard && guard->button(QMessageBox::Ok))
                guard->button(QMessageBox::Ok)->click();
        });
    }
}

void WhenModalOpens(const char* className, std::function<void(QWidget*)> action, int timeoutMs) {
    auto* timer = new QTimer;
    auto waited = std::make_shared<int>(0);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, className, action, timeoutMs] {
        *waited += 20;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->inherits(className) && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        } else if (*waited > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void WhenTrue(std::function<bool()> condition, std::function<void()> action, int timeoutMs) {
    auto* timer = new QTimer;
    auto waited = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, condition, action, timeoutMs] {
        *waited += 10;
        if (condition()) {
            timer->stop();
            timer->deleteLater();
            action();
        } else if (*waited > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

#include "queuedinput.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace {

class InputDropper : public QObject {
public:
    explicit InputDropper(const QList<QWidget*>& controls) : controls_(controls) {}

    bool eventFilter(QObject* receiver, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
            return meantFor(receiver);
        default:
            return false;
        }
    }

private:
    // The control itself, or anything inside it, its drop-down list included.
    bool meantFor(QObject* receiver) const {
        for (QObject* object = receiver; object; object = object->parent()) {
            if (controls_.contains(qobject_cast<QWidget*>(object)))
                return true;
        }
        return false;
    }

    QList<QWidget*> controls_;
};

} // namespace

void DiscardQueuedInput(const QList<QWidget*>& controls) {
    InputDropper dropper(controls);
    QCoreApplication::instance()->installEventFilter(&dropper);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(&dropper);
}

#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Answers modal windows from a timer, as an operator would: each message box that appears is
// recorded and closed with its OK button.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();

    QStringList texts() const { return texts_; }
    QStringList titles() const { return titles_; }
    QStringList informativeTexts() const { return informativeTexts_; }
    // Whether every box seen showed its texts as plain text, never as markup.
    bool allPlainText() const { return allPlainText_; }
    void clear();

private:
    void poll();

    QStringList texts_;
    QStringList titles_;
    QStringList informativeTexts_;
    bool allPlainText_ = true;
    class QTimer* timer_;
};

// Runs the action when a modal dialog of type T is open; polls until then (or until timeout).
void WhenModalOpens(const char* className, std::function<void(QWidget*)> action,
                    int timeoutMs = 30000);

// Runs the action once the condition holds; polls until then (or until timeout). For steps that
// must happen inside a nested event loop (a modal dialog, a pop-up menu).
void WhenTrue(std::function<bool()> condition, std::function<void()> action, int timeoutMs = 30000);

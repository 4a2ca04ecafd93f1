#pragma once
// Every message the program shows goes through ShowMessage: a warning box
// with one OK button and the application title as caption. Tests replace the
// function to read what would be shown without entering a modal loop.
#include <functional>

class QString;
class QWidget;

namespace jasokit {

using MessageFunction = std::function<void(QWidget* parent, const QString& text)>;

void ShowMessage(QWidget* parent, const QString& text);

// Replaces the function behind ShowMessage; an empty function restores the
// message box. Returns the previous one.
MessageFunction SetMessageFunction(MessageFunction function);

// The standard box itself.
void ShowMessageBox(QWidget* parent, const QString& text);

// The caption of every box: the executable's name without its extension.
QString ApplicationTitle();

}  // namespace jasokit

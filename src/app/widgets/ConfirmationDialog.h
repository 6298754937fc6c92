#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

// What a confirmation asks: the question, the consequence and the one destructive action.
struct Confirmation {
    QString title;
    QString message;
    QString actionText;
};

// Opens the question window-modally and returns at once. `confirmed` runs when the user
// chooses the action; `dismissed` runs afterwards however the dialog ends (action, "Abbrechen",
// Escape, closing the window). The dialog deletes itself when it closes.
QMessageBox* openConfirmation(QWidget* parent, const Confirmation& confirmation,
                              std::function<void()> confirmed, std::function<void()> dismissed);

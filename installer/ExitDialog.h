#pragma once
// Asked when the user cancels the wizard: "Yes" leaves with nothing installed, "No" stays.

#include <QDialog>

class QPushButton;

namespace tessarel {

class CExitDialog : public QDialog {
public:
    explicit CExitDialog(QWidget* parent = nullptr);
    QPushButton* yesButton() const { return yes_; }
    QPushButton* noButton() const { return no_; }
    static QString Text();

private:
    QPushButton* yes_;
    QPushButton* no_;
};

} // namespace tessarel

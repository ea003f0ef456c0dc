#include "installer/ExitDialog.h"

#include "installer/Artwork.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessarel {

QString CExitDialog::Text() {
    return QStringLiteral(
        "Installation is not complete. If you leave the installation,\nthe programm will not be "
        "installed.\n\nDo you want to exit?");
}

CExitDialog::CExitDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Exit installation"));
    setModal(true);
    auto* picture = new QLabel(this);
    picture->setPixmap(ExitPicture());
    picture->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(Text(), this);
    yes_ = new QPushButton(QStringLiteral("Yes"), this);
    no_ = new QPushButton(QStringLiteral("No"), this);
    no_->setDefault(true);
    connect(yes_, &QPushButton::clicked, this, &QDialog::accept);
    connect(no_, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(10);
    top->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(yes_);
    buttons->addWidget(no_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

} // namespace tessarel

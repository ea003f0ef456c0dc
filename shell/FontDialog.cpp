#include "shell/FontDialog.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessarel {

CXFontDialog::CXFontDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Font"));
    setModal(true);

    auto* faceLabel = new QLabel(QStringLiteral("Font:"), this);
    faceEdit = new QLineEdit(this);
    faceList = new QListWidget(this);
    // A family offered by several foundries is listed as "Face [foundry]": pages name the face alone.
    QStringList faces;
    for (QString face : QFontDatabase::families(QFontDatabase::Any)) {
        const qsizetype bracket = face.indexOf(QLatin1String(" ["));
        if (bracket > 0)
            face.truncate(bracket);
        if (!faces.contains(face))
            faces << face;
    }
    faces.sort(Qt::CaseInsensitive);
    faceList->addItems(faces);
    faceLabel->setBuddy(faceEdit);

    auto* sizeLabel = new QLabel(QStringLiteral("Size:"), this);
    sizeEdit = new QLineEdit(this);
    sizeList = new QListWidget(this);
    sizeList->setMaximumWidth(70);
    sizeEdit->setMaximumWidth(70);
    sizeLabel->setBuddy(sizeEdit);

    auto* example = new QGroupBox(QStringLiteral("Example"), this);
    sample = new QLabel(QString::fromLatin1(kSample), example);
    sample->setAlignment(Qt::AlignCenter);
    sample->setMinimumSize(260, 50);
    auto* exampleLayout = new QVBoxLayout(example);
    exampleLayout->addWidget(sample);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(faceLabel, 0, 0);
    grid->addWidget(sizeLabel, 0, 1);
    grid->addWidget(faceEdit, 1, 0);
    grid->addWidget(sizeEdit, 1, 1);
    grid->addWidget(faceList, 2, 0);
    grid->addWidget(sizeList, 2, 1);
    grid->addWidget(example, 3, 0, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    buttons->addStretch(1);
    grid->addLayout(buttons, 1, 2, 3, 1);

    connect(faceList, &QListWidget::currentTextChanged, this, [this](const QString& face) {
        if (face.isEmpty())
            return;
        // While the user types, the list follows the typed prefix and the typed text stays.
        if (!typing_)
            faceEdit->setText(face);
        fillSizes();
        updateSample();
    });
    connect(faceEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QList<QListWidgetItem*> found = faceList->findItems(text, Qt::MatchStartsWith);
        if (!found.isEmpty()) {
            typing_ = true;
            faceList->setCurrentItem(found.front());
            faceList->scrollToItem(found.front());
            typing_ = false;
        }
        updateSample();
    });
    connect(sizeList, &QListWidget::currentTextChanged, this, [this](const QString& size) {
        if (size.isEmpty())
            return;
        sizeEdit->setText(size);
        updateSample();
    });
    connect(sizeEdit, &QLineEdit::textEdited, this, [this] { updateSample(); });

    fillSizes();
    updateSample();
}

void CXFontDialog::fillSizes() {
    const QString keep = sizeEdit->text();
    QList<int> sizes = QFontDatabase::pointSizes(chosenFace());
    if (sizes.isEmpty())
        sizes = QFontDatabase::standardSizes();
    QSignalBlocker block(sizeList);
    sizeList->clear();
    for (int s : sizes)
        sizeList->addItem(QString::number(s));
    const QList<QListWidgetItem*> same = sizeList->findItems(keep, Qt::MatchExactly);
    if (!same.isEmpty())
        sizeList->setCurrentItem(same.front());
}

void CXFontDialog::selectFace(const QString& face) {
    QList<QListWidgetItem*> found = faceList->findItems(face, Qt::MatchFixedString);
    if (!found.isEmpty()) {
        faceList->setCurrentItem(found.front());
        faceList->scrollToItem(found.front());
    }
    faceEdit->setText(face);
    fillSizes();
}

void CXFontDialog::selectSizePrefix(const QString& prefix) {
    // From the second entry onwards, wrapping round to the first; case-blind prefix.
    const int n = sizeList->count();
    for (int k = 1; k <= n; ++k) {
        QListWidgetItem* item = sizeList->item(k % n);
        if (item->text().startsWith(prefix, Qt::CaseInsensitive)) {
            sizeList->setCurrentItem(item);
            sizeList->scrollToItem(item);
            sizeEdit->setText(item->text());
            return;
        }
    }
}

void CXFontDialog::setInitialFont(const QString& face, std::int32_t initialSize) {
    selectFace(face);
    selectSizePrefix(QString::number(initialSize));
    updateSample();
}

QString CXFontDialog::chosenFace() const {
    // The list's face that the typed text begins (case-blind), never the typed text itself.
    const QListWidgetItem* current = faceList->currentItem();
    if (!current || !current->text().startsWith(faceEdit->text(), Qt::CaseInsensitive))
        return {};
    return current->text();
}

std::int32_t CXFontDialog::chosenSize() const {
    bool ok = false;
    const double size = sizeEdit->text().toDouble(&ok);
    return ok && size > 0 && size < 1000 ? static_cast<std::int32_t>(size) : 0;
}

void CXFontDialog::updateSample() {
    QFont font(chosenFace());
    const std::int32_t size = chosenSize();
    if (size > 0)
        font.setPointSize(size);
    sample->setFont(font);
    // A face and a size are both needed for a choice.
    okButton->setEnabled(!chosenFace().isEmpty() && size > 0);
}

} // namespace tessarel

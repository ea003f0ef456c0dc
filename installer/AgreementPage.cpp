#include "installer/AgreementPage.h"

#include "installer/SetupWizard.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace tessarel {
namespace {

// Windows-1251 bytes 0x80 to 0xBF; from 0xC0 on the code page runs through the Cyrillic letters
// А (U+0410) to я (U+044F) in order. 0x98 is undefined and keeps its value.
constexpr char16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

QString FromWindows1251(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            text += QChar(byte);
        else if (byte < 0xC0)
            text += QChar(kCp1251High[byte - 0x80]);
        else
            text += QChar(char16_t(0x0410 + (byte - 0xC0)));
    }
    return text;
}

} // namespace

CAgreementPage::CAgreementPage(CSetupWizard& wizard) : CSetupPage(wizard) {
    setTitle(QStringLiteral("License Agreement "));
    setSubTitle(QStringLiteral("Tessarel License information"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Please read the license agreement. You have to accept\nthe agreement to continue."),
        this));
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("10008"));
    text_->setReadOnly(true);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(text_, 1);
    accept_ = new QRadioButton(QStringLiteral("Accept the agreement"), this);
    accept_->setObjectName(QStringLiteral("10006"));
    decline_ = new QRadioButton(QStringLiteral("Do not accept the agreement"), this);
    decline_->setObjectName(QStringLiteral("10007"));
    layout->addWidget(accept_);
    layout->addWidget(decline_);
    connect(accept_, &QRadioButton::toggled, this, &QWizardPage::completeChanged);
}

QString CAgreementPage::ReadAgreement(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("The license agreement could not be read: \"License.txt\" is missing from the "
                              "folder the installer was started in.");
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? FromWindows1251(bytes) : text;
}

void CAgreementPage::firstDisplay() {
    text_->setPlainText(ReadAgreement(QDir::current().filePath(QStringLiteral("License.txt"))));
    accept_->setChecked(true);
}

void CAgreementPage::activate() {
    sheet().showButtons({QWizard::Stretch, QWizard::BackButton, QWizard::NextButton, QWizard::CancelButton});
}

bool CAgreementPage::isComplete() const {
    return accept_->isChecked();
}

} // namespace tessarel

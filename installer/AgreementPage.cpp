#include "installer/AgreementPage.h"

#include "installer/SetupWizard.h"
#include "platform/Text.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace tessarel {
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
    if (!utf8.hasError())
        return text;
    return QString::fromStdU16String(
        FromCp1251(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
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

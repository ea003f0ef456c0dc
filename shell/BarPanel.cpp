#include "shell/BarPanel.h"

#include "shell/Icons.h"

#include <QCheckBox>
#include <QLabel>
#include <QPalette>

#include <algorithm>

namespace tessarel {
namespace {

QFont PixelFont(const QString& face, int pixels) {
    QFont font(face);
    font.setPixelSize(pixels > 0 ? pixels : 1);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

CIconButton::CIconButton(int iconNumber, const QString& caption, QWidget* parent)
    : QPushButton(caption, parent), iconNumber_(iconNumber) {
    setFont(PixelFont(QStringLiteral("Tahoma"), 13));
    setIcon(iconNumber == kSearchIcon ? ToolIcon(ToolIconKind::Search) : ToolIcon(ToolIconKind::Folder));
    setIconSize(QSize(16, 16));
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QPushButton::clicked, this, &CIconButton::dispatch);
}

void CIconButton::dispatch() {
    if (iconNumber_ == kSearchIcon && onSearch)
        onSearch();
    else if (iconNumber_ == kBrowseIcon && onBrowse)
        onBrowse();
}

CColorEdit::CColorEdit(float scale, QWidget* parent) : QLineEdit(parent) {
    if (scale == 0)
        scale = 1;
    setFont(PixelFont(QStringLiteral("Tahoma"), static_cast<int>(16 * scale)));
    QPalette p = palette();
    p.setColor(QPalette::Text, QColor(50, 50, 120));
    setPalette(p);
}

COwnerDrawCombo::COwnerDrawCombo(QWidget* parent) : QComboBox(parent) {
    setFont(PixelFont(QStringLiteral("MS Sans Serif"), 15));
    QPalette p = palette();
    p.setColor(QPalette::Text, QColor(50, 50, 120));
    p.setColor(QPalette::ButtonText, QColor(50, 50, 120));
    setPalette(p);
}

void COwnerDrawCombo::addItemText(const QString& text) {
    if (count() < kMaxItems)
        addItem(text);
}

CBarPanel::CBarPanel(Row row, float uiScale, QWidget* parent)
    : QWidget(parent), uiScale_(uiScale), m2(scaled(2)), m24(scaled(24)), m4(scaled(4)), m520(scaled(520)),
      m90(scaled(90)), m125(scaled(125)), m250(scaled(250)) {
    const QFont panelFont = PixelFont(QStringLiteral("Tahoma"), scaled(14));
    const double s = uiScale_;
    switch (row) {
    case SearchRow:
    case FolderRow:
        box = new CColorEdit(uiScale_, this);
        box->setGeometry(0, m2, m520, m24 - m2);
        button = new CIconButton(row == SearchRow ? CIconButton::kSearchIcon : CIconButton::kBrowseIcon,
                                 row == SearchRow ? QStringLiteral("Search") : QStringLiteral("Browse..."), this);
        button->setGeometry(m520 + m4, m2, m90, m24 - m2);
        if (row == FolderRow)
            box->setReadOnly(true);
        break;
    case OptionsRow: {
        label = new QLabel(QStringLiteral("Order by"), this);
        label->setFont(panelFont);
        label->setGeometry(0, scaled(6), scaled(65), m24 - scaled(6));
        orderList = new COwnerDrawCombo(this);
        for (const char* item : {"Relevance", "Date", "Alphabetical"})
            orderList->addItemText(QString::fromLatin1(item));
        orderList->setCurrentIndex(0);
        orderList->setGeometry(scaled(65), m2, m125, m24 - m2);
        // The check boxes are at least as wide as their captions need in the desktop's font.
        const int a = scaled(65) + m125 + 5 * m4;
        caseSensitive = new QCheckBox(QStringLiteral("Case sensitive"), this);
        caseSensitive->setFont(panelFont);
        const int caseWidth = std::max(static_cast<int>(18 * s + 80 * s), caseSensitive->sizeHint().width());
        caseSensitive->setGeometry(a, scaled(4), caseWidth, m24 - scaled(4));
        const int b = a + 2 * m4 + caseWidth;
        matchWord = new QCheckBox(QStringLiteral("Match word"), this);
        matchWord->setFont(panelFont);
        const int matchWidth = std::max(static_cast<int>(18 * s + 85 * s), matchWord->sizeHint().width());
        matchWord->setGeometry(b, scaled(4), matchWidth, m24 - scaled(4));
        break;
    }
    }
    setFixedHeight(scaled(27));
    setMinimumWidth(m520 + m4 + m90 + m4);
}

QSize CBarPanel::sizeHint() const { return {std::max(700, m520 + m4 + m90 + m4), scaled(27)}; }

} // namespace tessarel

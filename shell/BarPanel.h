#pragma once
// The three rows of the search bar and their controls: the search row (box and "Search"), the
// folder row (read-only box and "Browse...") and the options row ("Order by" list, "Case
// sensitive", "Match word"). Metrics are the desktop program's, scaled by uiScale.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;

namespace tessarel {

// A push button that dispatches on its icon number: 130 searches, 131 browses.
class CIconButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr int kSearchIcon = 130;
    static constexpr int kBrowseIcon = 131;

    CIconButton(int iconNumber, const QString& caption, QWidget* parent);
    // What the numbers do; set by the main window.
    std::function<void()> onSearch;
    std::function<void()> onBrowse;

private:
    void dispatch();
    int iconNumber_;
};

// The single-line box of the search and folder rows, in its own colour.
class CColorEdit : public QLineEdit {
    Q_OBJECT
public:
    CColorEdit(float scale, QWidget* parent);
};

// The "Order by" list.
class COwnerDrawCombo : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kMaxItems = 10;
    explicit COwnerDrawCombo(QWidget* parent);
    // Items beyond the tenth are not kept.
    void addItemText(const QString& text);
};

class CBarPanel : public QWidget {
    Q_OBJECT
public:
    enum Row { SearchRow, FolderRow, OptionsRow };

    CBarPanel(Row row, float uiScale, QWidget* parent);

    CColorEdit* box = nullptr;
    COwnerDrawCombo* orderList = nullptr;
    QCheckBox* caseSensitive = nullptr;
    QCheckBox* matchWord = nullptr;
    CIconButton* button = nullptr;
    QLabel* label = nullptr;

    QSize sizeHint() const override;

private:
    int scaled(double value) const { return static_cast<int>(value * uiScale_); }

    float uiScale_;
    int m2, m24, m4, m520, m90, m125, m250;
};

} // namespace tessarel

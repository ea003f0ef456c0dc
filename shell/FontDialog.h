#pragma once
// The reduced font chooser of the View page: a face list, a size list and a sample; no style,
// effects or script.

#include <QDialog>

#include <cstdint>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tessarel {

class CXFontDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kSample = "AaBbYyZz 0123456789";

    explicit CXFontDialog(QWidget* parent = nullptr);

    // The face to start from and initialSize, the point size to preselect (0: none).
    void setInitialFont(const QString& face, std::int32_t initialSize);

    // After OK: a face of the list (empty when the typed text begins none).
    QString chosenFace() const;
    std::int32_t chosenSize() const;

    QLineEdit* faceEdit = nullptr;
    QListWidget* faceList = nullptr;
    QLineEdit* sizeEdit = nullptr;
    QListWidget* sizeList = nullptr;
    QLabel* sample = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    void fillSizes();
    void selectFace(const QString& face);
    void selectSizePrefix(const QString& prefix);
    void updateSample();

    bool typing_ = false;
};

} // namespace tessarel

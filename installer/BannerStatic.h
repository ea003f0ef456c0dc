#pragma once
// A text of the welcome and closing pages, drawn by itself on the page's white background.

#include <QString>
#include <QWidget>

class QWizardPage;

namespace tessarel {

class CBannerStatic : public QWidget {
public:
    // size: the rectangle the text is drawn into; title texts are drawn larger.
    CBannerStatic(const QString& text, bool title, QSize size, QWidget* parent = nullptr);
    QString text() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    bool title_;
};

} // namespace tessarel

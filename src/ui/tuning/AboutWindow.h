#pragma once

#include <QWidget>

namespace registrator::ui {

// TF_About: one line of text, the version below it, and nothing that acts.
class AboutWindow : public QWidget {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

public slots:
    void ShowModeless();
};

} // namespace registrator::ui

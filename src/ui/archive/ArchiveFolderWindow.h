#pragma once

#include <QWidget>
#include <memory>

class QFileIconProvider;
class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

namespace registrator::ui {

// TF_Put: a tree of the computer's folders and the full path of the one selected. The selection is
// only shown; the archive keeps its fixed folder.
class ArchiveFolderWindow : public QWidget {
    Q_OBJECT
public:
    explicit ArchiveFolderWindow(QWidget* parent = nullptr);
    ~ArchiveFolderWindow() override;

    void ShowModeless();
    // Selects the folder at `path` in the tree, as a click on it would.
    bool SelectFolder(const QString& path);

    QTreeView* ShellTreeView1() const { return tree_; }
    QLabel* Label1() const { return label1_; }
    QPushButton* Button1() const { return button1_; }

public slots:
    void Button1Click();

private:
    void ShowSelectedPath();

    std::unique_ptr<QFileIconProvider> icons_;
    QFileSystemModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QLabel* label1_ = nullptr;
    QPushButton* button1_ = nullptr;
};

} // namespace registrator::ui

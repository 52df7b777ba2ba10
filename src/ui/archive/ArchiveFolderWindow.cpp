#include "ui/archive/ArchiveFolderWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTreeView>

namespace registrator::ui {

namespace {

// A right click selects the folder under it, as a left click does.
class FolderTree : public QTreeView {
public:
    using QTreeView::QTreeView;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton) {
            const QModelIndex index = indexAt(event->position().toPoint());
            if (index.isValid())
                setCurrentIndex(index);
            return;
        }
        QTreeView::mousePressEvent(event);
    }
};

// The platform's folder icons where it has them (the shell's on Windows, the icon theme elsewhere);
// the style's own where a desktop without an icon theme gives none.
class FolderIcons final : public QFileIconProvider {
public:
    QIcon icon(IconType type) const override {
        const QIcon own = QFileIconProvider::icon(type);
        if (!own.isNull())
            return own;
        return QApplication::style()->standardIcon(type == Drive ? QStyle::SP_DriveHDIcon
                                                                 : QStyle::SP_DirIcon);
    }
    QIcon icon(const QFileInfo& info) const override {
        const QIcon own = QFileIconProvider::icon(info);
        if (!own.isNull())
            return own;
        return QApplication::style()->standardIcon(info.isRoot() ? QStyle::SP_DriveHDIcon
                                                                 : QStyle::SP_DirIcon);
    }
};

QString StartFolder() {
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
#else
    return QDir::homePath();
#endif
}

} // namespace

ArchiveFolderWindow::ArchiveFolderWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("F_Put"));
    setWindowTitle(QStringLiteral("Путь к архивам"));
    setFixedSize(421, 371);

    model_ = new QFileSystemModel(this);
    icons_ = std::make_unique<FolderIcons>();
    model_->setIconProvider(icons_.get());
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    // The tree shows the folders as they were when it read them.
    model_->setOption(QFileSystemModel::DontWatchForChanges);
    model_->setRootPath(QString());

    tree_ = new FolderTree(this);
    tree_->setObjectName(QStringLiteral("ShellTreeView1"));
    tree_->setGeometry(4, 4, 327, 339);
    tree_->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        tree_->hideColumn(column);
    tree_->header()->hide();
    // The whole tree, opened at the start folder: a home holding only hidden folders would otherwise
    // show nothing, and the desktop's tree reaches every drive too.
    const QModelIndex start = model_->index(StartFolder());
    for (QModelIndex index = start; index.isValid(); index = index.parent())
        tree_->expand(index);
    tree_->scrollTo(start, QAbstractItemView::PositionAtTop);
    // The selection, not the current item: the tree makes its first item current when it takes the
    // focus, which is nobody's choice.
    connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ArchiveFolderWindow::ShowSelectedPath);

    label1_ = new QLabel(QStringLiteral("c:\\data"), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    QFont bold = label1_->font();
    bold.setPixelSize(16);
    bold.setBold(true);
    label1_->setFont(bold);
    label1_->setGeometry(4, 346, 330, 22);

    button1_ = new QPushButton(QStringLiteral("ОК"), this);
    button1_->setObjectName(QStringLiteral("Button1"));
    button1_->setGeometry(340, 342, 75, 25);
    connect(button1_, &QPushButton::clicked, this, &ArchiveFolderWindow::Button1Click);
}

ArchiveFolderWindow::~ArchiveFolderWindow() = default;

void ArchiveFolderWindow::ShowModeless() {
    show();
    raise();
    activateWindow();
}

bool ArchiveFolderWindow::SelectFolder(const QString& path) {
    const QModelIndex index = model_->index(path);
    if (!index.isValid())
        return false;
    tree_->setCurrentIndex(index);
    return true;
}

void ArchiveFolderWindow::ShowSelectedPath() {
    const QModelIndexList selected = tree_->selectionModel()->selectedIndexes();
    label1_->setText(selected.isEmpty() ? QString()
                                        : QDir::toNativeSeparators(model_->filePath(selected.first())));
}

// The operator pressed "ОК".
void ArchiveFolderWindow::Button1Click() {
    hide();
}

} // namespace registrator::ui

#include "ui/widgets/StringGrid.h"

#include <QHeaderView>

namespace registrator::ui {

QTableView* MakeStringGrid(QAbstractItemModel* model, int columnWidth, QWidget* parent) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(QStringLiteral("StringGrid1"));
    QFont font = grid->font();
    font.setPixelSize(11);
    font.setBold(true);
    grid->setFont(font);
    grid->setModel(model);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(14);
    grid->verticalHeader()->setDefaultSectionSize(14);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setDefaultSectionSize(columnWidth);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    return grid;
}

} // namespace registrator::ui

#include "pathgraf/app/owner_drawn_list.h"

#include "common/qt/dialog.h"

#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

class OwnerDrawDelegate : public QStyledItemDelegate {
public:
    OwnerDrawDelegate(ItemPainter painter, QSize size, QObject* parent)
        : QStyledItemDelegate(parent), painter_(std::move(painter)), size_(size)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        painter->fillRect(option.rect, Qt::white);
        painter_(*painter, option.rect, index.row(), (option.state & QStyle::State_Selected) != 0);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return size_; }

private:
    ItemPainter painter_;
    QSize size_;
};

QListWidget* list_of(Dialog& dialog, int id)
{
    return qobject_cast<QListWidget*>(dialog.get_control_widget(id));
}

}  // namespace

void make_owner_drawn_list(Dialog& dialog, int id, int item_count, int item_width, int item_height,
                           ItemPainter painter)
{
    QListWidget* list = list_of(dialog, id);
    if (!list)
        return;
    dialog.clear_items(id);
    for (int i = 0; i < item_count; ++i)
        dialog.add_item(id, "");
    list->setFlow(QListView::LeftToRight);
    list->setWrapping(true);
    list->setUniformItemSizes(true);
    list->setSpacing(0);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QAbstractItemDelegate* old = list->itemDelegate();
    list->setItemDelegate(new OwnerDrawDelegate(std::move(painter), QSize(std::max(item_width, 1), std::max(item_height, 1)), list));
    // A list made again (new item sizes) drops the painter it had.
    if (dynamic_cast<OwnerDrawDelegate*>(old))
        old->deleteLater();
}

void make_owner_drawn_row(Dialog& dialog, int id, int item_count, ItemPainter painter)
{
    QListWidget* list = list_of(dialog, id);
    if (!list || item_count < 1)
        return;
    // Sized from the inside that stays when no scroll bar takes its share:
    // a scroll bar would narrow the list and push the last item to a
    // second row.
    const int width = std::max(owner_drawn_list_width(dialog, id) / item_count, 1);
    const int height = std::max(std::min(width, owner_drawn_list_height(dialog, id)), 1);
    make_owner_drawn_list(dialog, id, item_count, width, height, std::move(painter));
    list->setWrapping(false);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void redraw_owner_drawn_list(Dialog& dialog, int id)
{
    if (QListWidget* list = list_of(dialog, id))
        list->viewport()->update();
}

int owner_drawn_list_width(Dialog& dialog, int id)
{
    QListWidget* list = list_of(dialog, id);
    return list ? list->width() - 2 * list->frameWidth() : 0;
}

int owner_drawn_list_height(Dialog& dialog, int id)
{
    QListWidget* list = list_of(dialog, id);
    return list ? list->height() - 2 * list->frameWidth() : 0;
}

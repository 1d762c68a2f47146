#include "MarkDelegate.h"

#include "Icons.h"
#include "SampleListModel.h"

#include <QPainter>

namespace orv::ui {

MarkDelegate::MarkDelegate(QObject* parent)
    : QStyledItemDelegate(parent), mPass(passMarkIcon()), mFail(failMarkIcon()) {}

void MarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const QVariant mark = index.data(SampleListModel::MarkRole);
    if (!mark.isValid())
        return;
    const QIcon* icon = nullptr;
    switch (static_cast<Mark>(mark.toInt())) {
    case Mark::Pass:
        icon = &mPass;
        break;
    case Mark::Fail:
        icon = &mFail;
        break;
    case Mark::None:
        return;
    }
    const int side = qMax(8, qMin(18, option.rect.height() - 4));
    QRect box(0, 0, side, side);
    box.moveCenter(option.rect.center());
    icon->paint(painter, box);
}

} // namespace orv::ui

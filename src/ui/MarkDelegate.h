#pragma once

#include <QIcon>
#include <QStyledItemDelegate>

namespace orv::ui {

// Paints a mark column's cell as its mark's picture, centred: the fail mark (picture 1) or the
// pass mark (picture 2); an unmarked cell stays blank.
class MarkDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit MarkDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QIcon mPass;
    QIcon mFail;
};

} // namespace orv::ui

#include "window/tablekeys.h"

#include "window/tablerules.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>

TableKeys::TableKeys(QTableWidget *table) : QObject(table), table(table)
{
    table->installEventFilter(this);
}

bool TableKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != table || event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier
        || (key->key() != Qt::Key_Space && key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter))
        return false;
    const int row = table->currentRow();
    QWidget *cell = row >= 0 ? table->cellWidget(row, OperationColumn) : nullptr;
    auto *button = cell ? cell->findChild<QPushButton *>() : nullptr;
    if (!button)
        return false;
    // Held down, the key repeats; one dialog per press is enough.
    if (!key->isAutoRepeat() && button->isEnabled())
        button->click();
    return true;
}

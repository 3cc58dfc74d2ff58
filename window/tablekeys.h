#pragma once

#include <QObject>

class QTableWidget;

// Space, Enter and Return in the device table press the "Update IP" button of the current row,
// as a click on it would. The buttons themselves take no focus: the table is one stop of the Tab
// chain, and the arrow keys choose the row.
class TableKeys : public QObject
{
public:
    explicit TableKeys(QTableWidget *table); // the table owns it

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableWidget *table;
};

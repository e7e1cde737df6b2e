// "Insert Rows": how many empty rows a table editor inserts, and where. One dialog serves every editor.
#pragma once

#include <QDialog>

class QRadioButton;
class QSpinBox;

class TInsertCellsDlg : public QDialog {
    Q_OBJECT
public:
    explicit TInsertCellsDlg(QWidget* parent);

    int Rows() const;
    // At the selected row, or after the last row.
    bool AtCursor() const;

private:
    QSpinBox* rows_;
    QRadioButton* atCursor_;
};

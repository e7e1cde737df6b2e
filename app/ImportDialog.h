// The "Import Data" dialog: the first lines of a data file as a table that follows every choice at once
// (separator, decimal mark, lines to skip, comment characters, header row) and the columns that make the
// curves: x (a column or the row number), one or more y columns, and an optional sigma column.
#pragma once

#include "curves/columnreader.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

class TImportDialog : public QDialog {
    Q_OBJECT
public:
    // Lines of the file shown in the preview.
    static constexpr int PreviewLines = 40;

    explicit TImportDialog(QWidget* parent = nullptr);

    // Shows the start of the file with the given choices (columns the file lacks fall back to x from column
    // 1, y from column 2). False, with error naming the file, when it cannot be read.
    bool SetFile(const QString& file, const columns::TColumnOptions& choices, QString& error);
    const QString& File() const { return file_; }
    // The choices as the controls show them.
    columns::TColumnOptions Choices() const;

    QLabel* FileLabel = nullptr;
    QComboBox* SeparatorBox = nullptr; // auto, comma, semicolon, tab, whitespace
    QComboBox* DecimalBox = nullptr;   // auto, point, comma
    QSpinBox* SkipEdit = nullptr;
    QLineEdit* CommentEdit = nullptr;
    QCheckBox* HeaderCheck = nullptr;
    QComboBox* XBox = nullptr;     // "row number", then the columns
    QListWidget* YList = nullptr;  // the columns, checkable
    QComboBox* SigmaBox = nullptr; // "none", then the columns
    QTableWidget* Preview = nullptr;
    QLabel* Summary = nullptr; // what the chosen columns give from the lines shown
    QPushButton* ImportBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    // The preview and the column lists after a change of the reading choices; the summary after any.
    void Refresh();
    void RefreshSummary();
    // Fills the column lists for this many columns with these names, keeping what is chosen.
    void FillColumns(int count, const std::vector<std::string>& names, const columns::TColumnOptions& keep);

    QString file_;
    std::vector<std::string> lines_;
    int columns_ = 0;
    std::vector<std::string> names_;
    bool filling_ = false;
};

// The text editor of the model file: the loaded model as the text of the
// program's own input file, laid over the text pane, with "Save and Reload"
// and "Close Editor".  The command menus stay greyed while it is open.
#pragma once

#include <QWidget>

#include <string>

class QPlainTextEdit;
class QPushButton;

class TextEditorPanel : public QWidget {
public:
    explicit TextEditorPanel(QWidget* parent = nullptr);

    void set_text(const QString& text);
    QString text() const;
    // Puts the cursor at the start of line (from 1) and scrolls it into view;
    // 0 leaves the cursor where it is.  Focus goes to the text.
    void show_line(int line);
    QPlainTextEdit* edit() const { return edit_; }
    QPushButton* save_button() const { return save_; }
    QPushButton* close_button() const { return close_; }

private:
    QPlainTextEdit* edit_;
    QPushButton* save_;
    QPushButton* close_;
};

// The editor's text of a model: one line a record, CR LF after each.
std::string text_editor_contents_of_current_model();

// Writes the edited lines to path, each ended by CR LF; false when the file
// cannot be written (reported).
bool write_text_editor_lines(const QString& text, const std::string& path);

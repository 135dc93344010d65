#include "keldana/shell/text_editor.h"

#include "common/safe_write.h"
#include "common/user_interface.h"
#include "keldana/model/kdn_file.h"
#include "keldana/model/model_store.h"
#include "keldana/resources/command_ids.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <fstream>

TextEditorPanel::TextEditorPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName("text_editor");
    auto* caption = new QLabel("Editor", this);
    save_ = new QPushButton("Save and Reload", this);
    save_->setObjectName("control_1");
    close_ = new QPushButton("Close Editor", this);
    close_->setObjectName("control_2");
    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName("editor_text");
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* bar = new QHBoxLayout;
    bar->addWidget(caption);
    bar->addWidget(save_);
    bar->addWidget(close_);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 3, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(edit_, 1);
}

void TextEditorPanel::set_text(const QString& text)
{
    edit_->setPlainText(text);
    edit_->document()->setModified(false);
}
QString TextEditorPanel::text() const { return edit_->toPlainText(); }

void TextEditorPanel::show_line(int line)
{
    const QTextBlock block = edit_->document()->findBlockByNumber(line - 1);
    if (line > 0 && block.isValid()) {
        QTextCursor cursor(block);
        edit_->setTextCursor(cursor);
        edit_->centerCursor();
    }
    edit_->setFocus();
}

std::string text_editor_contents_of_current_model()
{
    std::string text;
    for (std::string line : format_kdn_input_records(current_model(), KdnCountLayout::fixed_2i10)) {
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        text += line;
        text += '\n';
    }
    return text;
}

bool write_text_editor_lines(const QString& text, const std::string& path)
{
    SafeWrite file(path);
    if (file.is_open()) {
        std::ostream& out = file.stream();
        // Every line, the last included, ends with CR LF; nothing is cut.
        QStringList lines = text.split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        for (const QString& line : lines) {
            QByteArray bytes = line.toLatin1();
            if (bytes.endsWith('\r'))
                bytes.chop(1);
            out.write(bytes.constData(), bytes.size());
            out.write("\r\n", 2);
        }
    }
    if (!file.commit()) {
        ui().message_box("Can not write the file " + path, "Error!", MessageButtons::ok, MessageIcon::warning);
        return false;
    }
    return true;
}

// What the fuzz targets share: a user interface that answers every question
// at once and keeps no messages (a run makes millions), and the split of one
// input into the several files a reader takes.
#pragma once

#include "common/scripted_ui.h"
#include "common/user_interface.h"
#include "keldana/model/element_table.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fuzz {

class QuietUi : public ScriptedUserInterface {
public:
    MessageAnswer message_box(const std::string& text, const std::string& caption, MessageButtons buttons,
                              MessageIcon icon) override
    {
        const MessageAnswer answer = ScriptedUserInterface::message_box(text, caption, buttons, icon);
        answers.messages.clear();
        return answer;
    }
};

inline void install_quiet_ui()
{
    static QuietUi quiet;
    install_user_interface(&quiet);
}

// The program's own element table, read once.
inline const AtomTypeTable& shipped_atom_types()
{
    static const std::unique_ptr<AtomTypeTable> types = [] {
        auto table = std::make_unique<AtomTypeTable>();
        std::ifstream input(KD_DATA_DIR "/atoms.axp");
        read_element_table_stream(input, "atoms.axp", *table);
        return table;
    }();
    return *types;
}

// The files of one input, separated by NUL bytes (text files hold none);
// missing ones are empty.
inline std::vector<std::string> split_files(const std::uint8_t* data, std::size_t size, std::size_t count)
{
    std::vector<std::string> files(count);
    std::size_t k = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && k + 1 < count)
            ++k;
        else
            files[k].push_back(static_cast<char>(data[i]));
    }
    return files;
}

}  // namespace fuzz

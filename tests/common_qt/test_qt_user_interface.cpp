#include "common/qt/qt_user_interface.h"

#include "common/job_control.h"
#include "common/scripted_ui.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(FileDialogFilterTest, WindowsPatternsBecomeQtPatternLists)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"*.kdn", "*.kdn"},
        {"*.inp;*.res", "*.inp *.res"},
        {" *.inp ; *.res ", "*.inp *.res"},
        {"*.bnk;", "*.bnk"},
        {"*.*", "*"},  // names without a dot too, as on Windows
        {"*.dat;*.*", "*.dat *"},
        {"", "*"},
    };
    for (const auto& [windows, qt] : cases)
        EXPECT_EQ(convert_file_pattern(windows), qt) << "pattern '" << windows << "'";
}

TEST(FileDialogFilterTest, FilterHasTheCallersEntriesThenAllFiles)
{
    FileDialogRequest request;
    request.description = "XD input files (*.inp,*.res)";
    request.pattern = "*.inp;*.res";
    std::string filter = make_file_dialog_filter(request);
    EXPECT_EQ(filter, "XD input files (*.inp,*.res) (*.inp *.res);;All files (*.*) (*)");
    QFileDialog dialog(nullptr, "Open file", QString(), QString::fromStdString(filter));
    EXPECT_EQ(dialog.nameFilters().size(), 2);

    // Pathgraf's save dialog: two kinds of file and no "All files".
    request.description = "PostScript (*.ps)";
    request.pattern = "*.ps";
    request.more_filters = {{"Bitmap (*.bmp)", "*.bmp"}};
    request.all_files = false;
    filter = make_file_dialog_filter(request);
    EXPECT_EQ(filter, "PostScript (*.ps) (*.ps);;Bitmap (*.bmp) (*.bmp)");
    QFileDialog save(nullptr, "Save file", QString(), QString::fromStdString(filter));
    EXPECT_EQ(save.nameFilters().size(), 2);
}

TEST(FileDialogFilterTest, SaveAddsTheDefaultExtensionOnlyWhenNoneWasTyped)
{
    struct Case {
        std::string path, extension, expected;
    };
    const std::vector<Case> cases{
        {"/work/model", "kdn", "/work/model.kdn"},
        {"/work/model.kdn", "kdn", "/work/model.kdn"},
        {"/work/model.txt", "kdn", "/work/model.txt"},
        {"/work.d/model", "kdn", "/work.d/model.kdn"},  // a dot in the folder is no extension
        {"model", "ps", "model.ps"},
        {"/work/model", "", "/work/model"},
        {"/work/", "kdn", "/work/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(add_default_extension(c.path, c.extension), c.expected) << c.path;
}

TEST(FileDialogFilterTest, ProposedNameWithFolderOpensInThatFolder)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const std::string root = temp.path().toStdString();
    ASSERT_TRUE(QDir(temp.path()).mkdir("sub"));

    InitialFile plain = split_initial_file(root, "keldana.kdn");
    EXPECT_EQ(plain.directory, root);
    EXPECT_EQ(plain.name, "keldana.kdn");
    InitialFile with_folder = split_initial_file("/elsewhere", root + "/sub/map.dat");
    EXPECT_EQ(with_folder.directory, root + "/sub");
    EXPECT_EQ(with_folder.name, "map.dat");
    InitialFile missing_folder = split_initial_file(root, root + "/gone/map.dat");
    EXPECT_EQ(missing_folder.directory, root);
    EXPECT_EQ(missing_folder.name, "map.dat");
}

TEST(ColourAndFontTest, ColourValuesKeepRedInTheLowByte)
{
    QColor colour = colour_from_colorref(0x00332211u);
    EXPECT_EQ(colour.red(), 0x11);
    EXPECT_EQ(colour.green(), 0x22);
    EXPECT_EQ(colour.blue(), 0x33);
    EXPECT_EQ(colorref_from_colour(QColor(255, 0, 0)), 0x000000FFu);
    EXPECT_EQ(colorref_from_colour(QColor(0, 0, 255)), 0x00FF0000u);
}

TEST(ColourAndFontTest, StoredFontSurvivesQt)
{
    FontChoice stored;
    stored.face_name = "Courier New";
    stored.height = -13;
    stored.weight = 700;
    stored.italic = true;
    stored.underline = true;
    stored.colour = 0x00FF0000u;
    QFont font = font_from_choice(stored);
    EXPECT_EQ(font.pixelSize(), 13);
    for (int height : {INT_MIN, INT_MAX, -5000}) {
        FontChoice huge = stored;
        huge.height = height;
        EXPECT_EQ(font_from_choice(huge).pixelSize(), 1000) << height;
    }
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_TRUE(font.italic());
    FontChoice back = choice_from_font(font, stored.colour);
    EXPECT_EQ(back.face_name, "Courier New");
    EXPECT_EQ(back.height, -13);
    EXPECT_EQ(back.weight, 700);
    EXPECT_TRUE(back.italic);
    EXPECT_TRUE(back.underline);
    EXPECT_FALSE(back.strike_out);
    EXPECT_EQ(back.colour, 0x00FF0000u);
}

// The Qt user interface installed, its questions answered by a script.
class QtUiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        job_control() = JobControl{};
        qt_ui.set_script(&answers);
        install_user_interface(&qt_ui);
    }
    void TearDown() override
    {
        install_user_interface(nullptr);
        qt_ui.close_progress();
        job_control() = JobControl{};
    }
    Dialog& open_job_progress()
    {
        job_control().job_running = true;
        qt_ui.open_progress(" RHO     ");
        Dialog* dialog = topmost_dialog();
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }
    QtUserInterface qt_ui;
    ScriptedAnswers answers;
};

TEST_F(QtUiTest, ProgressDialogShowsTitlePercentAndLines)
{
    Dialog& progress = open_job_progress();
    EXPECT_EQ(progress.get_resource_id(), 119);
    EXPECT_EQ(progress.window()->windowTitle(), "Keldana - Progress");
    EXPECT_EQ(progress.get_text(1168), " RHO     ");
    EXPECT_EQ(progress.get_text(1169), "0");
    EXPECT_EQ(progress.get_text(2), "Cancel");
    EXPECT_TRUE(job_control().progress_open);

    qt_ui.set_progress(42);
    EXPECT_EQ(progress.get_text(1169), "42");
    EXPECT_EQ(progress.get_position(1167), 42);
    qt_ui.set_progress_line(1, "X =   0.100");
    qt_ui.set_progress_line(3, "Z =   0.300");
    qt_ui.set_progress_line(4, "ignored");
    EXPECT_EQ(progress.get_text(1170), "X =   0.100");
    EXPECT_EQ(progress.get_text(1171), "");
    EXPECT_EQ(progress.get_text(1172), "Z =   0.300");

    qt_ui.close_progress();
    EXPECT_FALSE(job_control().progress_open);
    EXPECT_EQ(find_live_dialog(119), nullptr);
}

TEST_F(QtUiTest, CancelAnsweredNoKeepsTheJobAndTheDialog)
{
    Dialog& progress = open_job_progress();
    answers.message_answers = {MessageAnswer::no};
    EXPECT_TRUE(progress.user_click(2));
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].text, "NOW JOB WILL BE TERMINATED!  CONTINUE TERMINATION?");
    EXPECT_EQ(answers.messages[0].caption, "Warning!");
    EXPECT_EQ(answers.messages[0].buttons, MessageButtons::yes_no);
    EXPECT_EQ(answers.messages[0].icon, MessageIcon::warning);
    EXPECT_TRUE(job_control().job_running);
    EXPECT_TRUE(progress.is_open());
    EXPECT_EQ(job_control().last_answer, static_cast<int>(MessageAnswer::no));
}

TEST_F(QtUiTest, CancelAnsweredYesEndsTheJobAndClosesTheDialog)
{
    Dialog& progress = open_job_progress();
    answers.message_answers = {MessageAnswer::yes};
    EXPECT_TRUE(progress.user_click(2));
    EXPECT_FALSE(job_control().job_running);
    EXPECT_FALSE(progress.is_open());
    EXPECT_EQ(job_control().last_answer, static_cast<int>(MessageAnswer::yes));
    qt_ui.set_progress(50);  // the job's last step before it notices
    qt_ui.close_progress();
    EXPECT_EQ(find_live_dialog(119), nullptr);
}

TEST_F(QtUiTest, CloseBoxOfTheProgressDialogAsksTheSameQuestion)
{
    Dialog& progress = open_job_progress();
    answers.message_answers = {MessageAnswer::no, MessageAnswer::yes};
    progress.window()->close();
    EXPECT_TRUE(progress.is_open());
    EXPECT_TRUE(job_control().job_running);
    progress.window()->close();
    EXPECT_FALSE(job_control().job_running);
    EXPECT_EQ(answers.messages.size(), 2u);
}

TEST_F(QtUiTest, ProgressOpenedFromAModalDialogIsTheTopmost)
{
    const DialogResource map_like{117, "MAP", 100, 60, {{1154, ControlKind::button, "Calculate Map", 5, 5, 60, 14}}};
    Dialog map(map_like);
    map.set_callback(1154, [this](Dialog& d, int, ControlEvent) {
        job_control().job_running = true;
        qt_ui.open_progress("job");
        answers.message_answers = {MessageAnswer::yes};
        Dialog* top = topmost_dialog();
        EXPECT_TRUE(top && top->get_resource_id() == 119);
        // Owned by the dialog that started the job: kept above it.
        EXPECT_TRUE(top && top->window()->parentWidget() == d.window() && top->window()->isWindow());
        if (top)
            top->user_click(2);
        for (int step = 0; step < 100 && job_control().job_running; ++step)
            qt_ui.pump_events();
        qt_ui.close_progress();
        d.end(0);
    });
    QTimer::singleShot(0, [&] { map.user_click(1154); });
    EXPECT_EQ(map.run_modal(), 0);
    EXPECT_FALSE(job_control().job_running);
    EXPECT_EQ(answers.messages.size(), 1u);
}

// A job started from the main window (no dialog open) belongs to it.
TEST_F(QtUiTest, ProgressOfAJobWithoutADialogBelongsToTheMainWindow)
{
    QWidget main_window;
    main_window.show();
    QApplication::setActiveWindow(&main_window);
    Dialog& progress = open_job_progress();
    EXPECT_EQ(progress.window()->parentWidget(), &main_window);
    EXPECT_TRUE(progress.window()->isWindow());
    qt_ui.close_progress();
}

// With the real question box: after "No" the progress dialog, not the dialog
// that started the job, is the active window, and it stays that dialog's
// child (a window manager keeps it above its owner).
TEST_F(QtUiTest, CancelAnsweredNoLeavesTheProgressDialogAboveTheStartingDialog)
{
    qt_ui.set_script(nullptr);
    const DialogResource map_like{117, "MAP", 100, 60, {{1154, ControlKind::button, "Calculate Map", 5, 5, 60, 14}}};
    Dialog map(map_like);
    QPointer<QWidget> progress_window;
    QWidget* progress_address = nullptr;  // compared after the dialog is gone
    QWidget* question_owner = nullptr;
    QWidget* active_after = nullptr;
    bool visible_after = false;
    bool running_after = false;
    map.set_callback(1154, [&](Dialog& d, int, ControlEvent) {
        job_control().job_running = true;
        qt_ui.open_progress("job");
        Dialog* progress = find_live_dialog(119);
        ASSERT_NE(progress, nullptr);
        progress_window = progress->window();
        progress_address = progress_window;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            question_owner = box->parentWidget();
            box->button(QMessageBox::No)->click();
        });
        progress->user_click(2);
        for (int k = 0; k < 5; ++k)
            QApplication::processEvents();
        active_after = QApplication::activeWindow();
        visible_after = progress_window && progress_window->isVisible();
        running_after = job_control().job_running;
        qt_ui.close_progress();
        d.end(0);
    });
    QTimer::singleShot(0, [&] { map.user_click(1154); });
    EXPECT_EQ(map.run_modal(), 0);
    EXPECT_TRUE(running_after);
    EXPECT_TRUE(visible_after);
    ASSERT_NE(progress_address, nullptr);
    EXPECT_EQ(question_owner, progress_address);
    EXPECT_EQ(active_after, progress_address);
    EXPECT_EQ(job_control().last_answer, static_cast<int>(MessageAnswer::no));
}

// A job that updates its progress far more often than it can be seen: the
// texts shown are the last ones once the job pumps after the interval.
TEST_F(QtUiTest, ProgressTextsShownAreTheLastAfterThePump)
{
    Dialog& progress = open_job_progress();
    for (int k = 0; k <= 100; ++k) {
        qt_ui.set_progress(k);
        qt_ui.set_progress_line(2, "path = " + std::to_string(k));
    }
    std::this_thread::sleep_for(QtUserInterface::UPDATE_INTERVAL * 2);
    qt_ui.pump_events();
    EXPECT_EQ(progress.get_text(1169), "100");
    EXPECT_EQ(progress.get_position(1167), 100);
    EXPECT_EQ(progress.get_text(1171), "path = 100");
}

TEST_F(QtUiTest, ScriptAnswersFileDialogsAndPickers)
{
    answers.file_answers = {std::string("/data/model.kdn"), std::nullopt};
    answers.colour_answers = {0x00123456u};
    FileDialogRequest request;
    request.title = "Open file";
    request.description = "Keldana input file (*.kdn)";
    request.pattern = "*.kdn";
    EXPECT_EQ(qt_ui.file_dialog(request), std::optional<std::string>("/data/model.kdn"));
    EXPECT_EQ(qt_ui.file_dialog(request), std::nullopt);
    ASSERT_EQ(answers.file_requests.size(), 2u);
    EXPECT_EQ(answers.file_requests[0].description, "Keldana input file (*.kdn)");
    unsigned colour = 0;
    EXPECT_TRUE(qt_ui.choose_colour(colour));
    EXPECT_EQ(colour, 0x00123456u);
    FontChoice font;
    EXPECT_FALSE(qt_ui.choose_font(font));  // no answer queued: cancelled
}

TEST_F(QtUiTest, ResetStopRequestClearsTheStopFlag)
{
    job_control().stop_requested = true;
    qt_ui.reset_stop_request(true);
    EXPECT_FALSE(job_control().stop_requested);
}

// Without a script the real Qt dialogs are shown; a timer answers them.
TEST(QtDialogsTest, MessageBoxShowsCaptionTextAndReturnsTheButton)
{
    QtUserInterface qt_ui;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(qt_ui.message_box("Continue?", "Warning!", MessageButtons::yes_no, MessageIcon::warning),
              MessageAnswer::no);
    EXPECT_EQ(title, "Warning!");
    EXPECT_EQ(text, "Continue?");
    EXPECT_EQ(icon, QMessageBox::Warning);

    QTimer::singleShot(0, [&] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(qt_ui.message_box("Go on?", "Keldana", MessageButtons::ok_cancel, MessageIcon::question),
              MessageAnswer::cancel);
}

// A save dialog for a Keldana input file in `folder`, offering `name`.
FileDialogRequest kdn_save_request(const std::string& folder, const std::string& name)
{
    FileDialogRequest request;
    request.save = true;
    request.title = "Save file";
    request.description = "Keldana input file (*.kdn)";
    request.pattern = "*.kdn";
    request.initial_dir = folder;
    request.initial_name = name;
    request.default_extension = "kdn";
    return request;
}

TEST(QtDialogsTest, SaveDialogAddsTheDefaultExtension)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    QtUserInterface qt_ui;
    const FileDialogRequest request = kdn_save_request(temp.path().toStdString(), "keldana.kdn");
    QString shown_title, shown_name;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shown_title = dialog->windowTitle();
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        shown_name = name->text();
        name->setText("result");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    EXPECT_EQ(qt_ui.file_dialog(request), std::optional<std::string>(request.initial_dir + "/result.kdn"));
    EXPECT_EQ(shown_title, "Save file");
    EXPECT_EQ(shown_name, "keldana.kdn");

    QTimer::singleShot(0, [&] { QMetaObject::invokeMethod(QApplication::activeModalWidget(), "reject"); });
    EXPECT_EQ(qt_ui.file_dialog(request), std::nullopt);
}

TEST(QtDialogsTest, SaveDialogAsksBeforeReplacingAFile)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const std::string existing = temp.path().toStdString() + "/model.kdn";
    { std::ofstream(existing) << "kept\n"; }
    QtUserInterface qt_ui;
    const FileDialogRequest request = kdn_save_request(temp.path().toStdString(), "model");

    // Accepting the name of an existing file asks; the answer comes from a
    // second timer while the question runs.
    auto accept_and_answer = [](QMessageBox::StandardButton answer, QString& question) {
        QTimer::singleShot(0, [answer, &question] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            QTimer::singleShot(0, [answer, &question, dialog] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr) << "no question before replacing the file";
                question = box->text();
                box->button(answer)->click();
                // After No the file dialog is still open: cancel it.
                if (answer == QMessageBox::No) {
                    QTimer::singleShot(0, [dialog] {
                        EXPECT_EQ(QApplication::activeModalWidget(), dialog);
                        QMetaObject::invokeMethod(dialog, "reject");
                    });
                }
            });
            QMetaObject::invokeMethod(dialog, "accept");
        });
    };
    QString question;
    accept_and_answer(QMessageBox::No, question);
    EXPECT_EQ(qt_ui.file_dialog(request), std::nullopt);
    EXPECT_TRUE(question.contains("model.kdn")) << question.toStdString();

    question.clear();
    accept_and_answer(QMessageBox::Yes, question);
    EXPECT_EQ(qt_ui.file_dialog(request), std::optional<std::string>(existing));
    EXPECT_TRUE(question.contains("model.kdn")) << question.toStdString();
}

// Pathgraf's save dialog: the type chosen decides the extension of a name
// typed without one, before the dialog asks about replacing that file.
TEST(QtDialogsTest, SaveDialogAddsTheChosenTypesExtension)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const std::string folder = temp.path().toStdString();
    { std::ofstream(folder + "/plot2.bmp") << "kept\n"; }
    QtUserInterface qt_ui;
    FileDialogRequest request;
    request.save = true;
    request.title = "Save file";
    request.description = "PostScript (*.ps)";
    request.pattern = "*.ps";
    request.more_filters = {{"Bitmap (*.bmp)", "*.bmp"}};
    request.all_files = false;
    request.initial_dir = folder;

    for (int type : {1, 0}) {
        QString question;
        QTimer::singleShot(0, [type, &question] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
            ASSERT_NE(types, nullptr);
            types->setCurrentIndex(type);
            emit types->activated(type);  // as the user's choice
            emit types->textActivated(types->currentText());
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText("plot2");
            QTimer::singleShot(0, [&question] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    question = box->text();
                    box->button(QMessageBox::Yes)->click();
                }
            });
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const std::string expected = folder + (type == 1 ? "/plot2.bmp" : "/plot2.ps");
        EXPECT_EQ(qt_ui.file_dialog(request), std::optional<std::string>(expected)) << type;
        // Only the bitmap exists: only its name is asked about.
        EXPECT_EQ(question.contains("plot2.bmp"), type == 1) << question.toStdString();
    }
}

// The converter's browse: programs have no extension here, so the first
// filter lists the files that may run; "All files" lists every file.
TEST(QtDialogsTest, AnExecutablesFilterListsProgramsThenAllFiles)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    QtUserInterface qt_ui;
    FileDialogRequest request;
    request.title = "Open file";
    request.description = "Programs (executable files)";
    request.pattern = "*";
    request.executables_only = true;
    request.initial_dir = temp.path().toStdString();
    bool programs = false, all = true;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->nameFilters().size(), 2);
        programs = dialog->filter().testFlag(QDir::Executable);
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        types->setCurrentIndex(1);
        emit types->activated(1);  // as the user's choice
        emit types->textActivated(types->currentText());
        all = !dialog->filter().testFlag(QDir::Executable);
        QMetaObject::invokeMethod(dialog, "reject");
    });
    EXPECT_EQ(qt_ui.file_dialog(request), std::nullopt);
    EXPECT_TRUE(programs);
    EXPECT_TRUE(all);
}

TEST(FileDialogFilterTest, TheChosenTypeGivesTheExtension)
{
    FileDialogRequest request;
    request.save = true;
    request.pattern = "*.ps";
    request.more_filters = {{"Bitmap (*.bmp)", "*.bmp"}, {"XD input files", "*.inp;*.res"}, {"All", "*.*"}};
    request.default_extension = "dat";
    const std::pair<int, const char*> types[] = {{0, "ps"}, {1, "bmp"}, {2, "inp"}, {3, "dat"}, {4, "dat"},
                                                 {-1, "dat"}};
    for (const auto& [index, extension] : types)
        EXPECT_EQ(chosen_type_extension(request, index), extension) << index;

    EXPECT_EQ(saved_file_name("/w/plot2", request, 1), "/w/plot2.bmp");
    EXPECT_EQ(saved_file_name("/w/plot2.ps", request, 1), "/w/plot2.ps");  // a typed extension stays
    EXPECT_EQ(saved_file_name("/w/plot2.txt", request, 0), "/w/plot2.txt");
    request.save = false;
    EXPECT_EQ(saved_file_name("/w/plot2", request, 1), "/w/plot2");  // opening takes names as typed
}

TEST(ScriptedAnswersTest, SaveTakesTheQueuedTypesExtension)
{
    FileDialogRequest save;
    save.save = true;
    save.pattern = "*.ps";
    save.more_filters = {{"Bitmap (*.bmp)", "*.bmp"}};
    ScriptedAnswers answers;
    answers.file_answers = {"/nowhere/plot2", "/nowhere/plot3"};
    answers.filter_answers = {1};
    EXPECT_EQ(answers.answer_file(save), std::optional<std::string>("/nowhere/plot2.bmp"));
    EXPECT_EQ(answers.answer_file(save), std::optional<std::string>("/nowhere/plot3.ps"));  // unqueued: the first
}

TEST(ScriptedAnswersTest, SaveOverAnExistingFileTakesTheQueuedReplaceAnswer)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const std::string existing = temp.path().toStdString() + "/old.kdn";
    const std::string fresh = temp.path().toStdString() + "/new.kdn";
    { std::ofstream(existing) << "kept\n"; }
    FileDialogRequest save;
    save.save = true;
    FileDialogRequest open;

    ScriptedAnswers answers;
    // Refused: the dialog goes on to the next answer; accepted: the file.
    answers.file_answers = {existing, fresh, existing, existing, existing};
    answers.overwrite_answers = {false, true};
    EXPECT_EQ(answers.answer_file(save), std::optional<std::string>(fresh));
    EXPECT_EQ(answers.answer_file(save), std::optional<std::string>(existing));
    EXPECT_EQ(answers.answer_file(open), std::optional<std::string>(existing));  // opening never asks
    EXPECT_EQ(answers.answer_file(save), std::optional<std::string>(existing));  // unqueued: replace
    EXPECT_EQ(answers.overwrite_questions, (std::vector<std::string>{existing, existing, existing}));

    answers.file_answers = {existing};
    answers.overwrite_answers = {false};
    EXPECT_EQ(answers.answer_file(save), std::nullopt);  // refused, nothing more queued: Cancel
}

}  // namespace

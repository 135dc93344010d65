#include "keldana/shell/application.h"

#include "keldana/model/model_loader.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/shell/cluster_dialog.h"
#include "keldana/shell/integration_dialog.h"
#include "keldana/shell/line_profile_dialog.h"
#include "keldana/shell/main_window.h"
#include "keldana/shell/properties_dialog.h"
#include "keldana/shell/settings.h"
#include "keldana/shell/shell_user_interface.h"
#include "keldana/shell/text_pane.h"
#include "keldana/viewer/bond_list.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

KeldanaApplication::~KeldanaApplication()
{
    if (window)
        window->shut_down();
    set_listing_flush_deferred(false);
    install_user_interface(nullptr);
}

std::unique_ptr<KeldanaApplication> start_keldana()
{
    install_model_services();
    cluster_services().run_generation_dialog = [](StructureModel& model) {
        return run_symmetry_generation_dialog(model);
    };
    cluster_services().build_bond_list = build_viewer_bond_list;
    set_integration_property_dialog([](QWidget* owner) { run_property_selection_dialog(owner); });
    set_line_profile_property_dialog([](QWidget* owner) { run_property_selection_dialog(owner); });
    auto app = std::make_unique<KeldanaApplication>();
    app->window = std::make_unique<MainWindow>();
    app->user_interface = std::make_unique<ShellUserInterface>(app->window.get());
    install_user_interface(app->user_interface.get());
    // Jobs run inside the event loop's callbacks and pump events without
    // waiting; the loop waits again only when the job has ended.  That is
    // when the listing reaches the disk and the pane follows new output
    // again wherever the user scrolled to during the job.
    set_listing_flush_deferred(true);
    MainWindow* window = app->window.get();
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, window,
                     [window] {
                         flush_listing();
                         window->text_pane()->job_ended();
                     });
    app->window->showMaximized();

    RunSettings& settings = run_settings();
    settings.paths.follow_dialog_directory = true;
    load_settings_from_registry();
    // The data files (element table, banks, Slater table) are installed
    // beside the program.
    settings.file_dialog.start_directory = QCoreApplication::applicationDirPath().toStdString();
    return app;
}

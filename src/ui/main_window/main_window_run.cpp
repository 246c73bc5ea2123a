#include "ui/main_window/main_window_run.h"

#include "ui/main_window/UMain.h"
#include "ui/platform/application_look.h"
#include "ui/main_window/error_texts.h"
#include "ui/main_window/type_name.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdint>
#include <memory>

namespace {

std::unique_ptr<TfmMain> CreateMainWindow(const TErrorBoxPresenter& presentError)
{
    return std::make_unique<TfmMain>(presentError);
}

// There are no code addresses in the Windows sense here. The box names the
// entry of the code that failed instead: the low 32 bits of the address of
// CreateMainWindow. In a position-independent program that address changes
// from run to run, as the program is loaded at a new place each time.
std::uint32_t FailureAddress()
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&CreateMainWindow));
}

}  // namespace

int RunMainWindow(const TErrorBoxPresenter& presentError)
{
    ApplyApplicationLook();
    std::unique_ptr<TfmMain> fmMain;
    try {
        fmMain = CreateMainWindow(presentError);
    } catch (const std::exception& error) {  // the window cannot exist: say why and end with status 1
        const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        presentError(StartupErrorBox(QString::fromStdString(ReadableTypeName(typeid(error))), module,
                                     FailureAddress(), QString::fromStdString(error.what())));
        return 1;
    }
    QApplication::setWindowIcon(fmMain->windowIcon());
    fmMain->show();
    return QApplication::exec();
}

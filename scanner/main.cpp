// The scanner program: pool, dispatch slot, application, window, engine thread, event loop.
#include <QApplication>

#include <exception>
#include <memory>

#include "console_log.h"
#include "eng_thrd.h"
#include "main_win.h"
#include "scratch_pool.h"
#include "sigprim.h"

int main(int argc, char** argv)
{
    ScrPool::init();
    sigInitDispatch();
    Q_INIT_RESOURCE(scanner);
    int status = 1;
    {
        QApplication app(argc, argv);
        std::unique_ptr<MainWin> win;
        std::unique_ptr<EngThrd> eng;
        try {
            win = std::make_unique<MainWin>();
            eng = std::make_unique<EngThrd>(win.get());
            win->setRecordLock(&eng->mutex());
            // Shown before the receivers are listed: the status bar hides the legend under the
            // selection messages only while the window is visible, else it draws them over it.
            win->show();
            win->loadSdrList(eng->sdrList());
        } catch (const std::exception& e) {
            logPrintf("%s", e.what());
            eng.reset();
            win.reset();
            return 1;
        }
        eng->start(QThread::InheritPriority);
        status = app.exec();
        eng->requestStop();
        eng->wait();
        eng.reset();
        win.reset();
    }
    return status;
}

// The scanner program: pool, dispatch slot, application, window, engine thread, event loop.
#include <QApplication>

#include <memory>

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
        if (!startScanner(win, eng))
            return 1;
        eng->start(QThread::InheritPriority);
        status = app.exec();
        eng->requestStop();
        eng->wait();
        eng.reset();
        win.reset();
    }
    return status;
}

// zugaret-bench-open FILE [RUNS]: opens a game file as the record
// window's "Abrir" does, with the real list dialog on the offscreen platform,
// and prints how long the user waits until the game list shows (a file of
// one game has none), and until the picked game (the preselected last one)
// is set up for its replay.
#include "ChessModel.h"
#include "GameController.h"
#include "ProgramEnv.h"
#include "QtDialogs.h"
#include "RecordFiles.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The file dialog answered with File, and the real list dialog accepted as
// soon as it shows; ShownAt receives the time it showed.
class TTimedDialogs final : public TUiDialogs {
public:
    QString File;
    QElapsedTimer* Clock = nullptr;
    qint64 ShownAt = -1;
    qsizetype Count = 1;

protected:
    void Present(TQuestionId id, const TDialogRequest& request) override {
        switch (request.Kind) {
        case TDialogKind::Message:
            std::fprintf(stderr, "%s\n", qPrintable(request.Text));
            QTimer::singleShot(0, this, [this, id] { Answer(id, {true, {}, -1}); });
            break;
        case TDialogKind::OpenFile:
            QTimer::singleShot(0, this, [this, id] { Answer(id, {true, File, -1}); });
            break;
        case TDialogKind::Choice: {
            Count = request.Items.size();
            QDialog* list = NewChoiceDialog(nullptr, request);
            list->open();
            QTimer::singleShot(0, this, [this, id, list, item = request.Preselected] {
                ShownAt = Clock->nsecsElapsed();
                list->deleteLater();
                Answer(id, {true, {}, item});
            });
            break;
        }
        default:
            QTimer::singleShot(0, this, [this, id] { Answer(id, {}); });
            break;
        }
    }
    void Dismiss(TQuestionId) override {}
};

double Ms(qint64 ns) {
    return ns / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2 || !QFileInfo(argv[1]).isFile()) {
        std::fprintf(stderr, "usage: zugaret-bench-open FILE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
    QTemporaryDir dir;
    TProgramEnv env(dir.path() + "/", dir.path() + "/");
    TTimedDialogs dialogs;
    dialogs.File = QFileInfo(argv[1]).absoluteFilePath();
    env.SetDialogs(&dialogs);
    TChessModel model;
    TGameController game(model, env);
    TRecordFiles files(game);

    std::vector<double> shown, total;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        dialogs.Clock = &clock;
        dialogs.ShownAt = -1;
        clock.start();
        bool opened = false;
        QEventLoop loop;
        files.Open([&](bool ok) {
            opened = ok;
            loop.quit();
        });
        loop.exec();
        if (!opened) return 1;
        total.push_back(Ms(clock.nsecsElapsed()));
        shown.push_back(Ms(dialogs.ShownAt));
    }
    std::sort(shown.begin(), shown.end());
    std::sort(total.begin(), total.end());
    std::printf("%lld games in the list, the one opened has %lld half-moves\n",
                static_cast<long long>(dialogs.Count),
                static_cast<long long>(game.ReplayMoves.size()));
    std::printf("list shown: %.1f-%.1f-%.1f ms (min-median-max of %d)\n", shown.front(),
                shown[shown.size() / 2], shown.back(), runs);
    std::printf("game set up for its replay: %.1f-%.1f-%.1f ms\n", total.front(),
                total[total.size() / 2], total.back());
    return 0;
}

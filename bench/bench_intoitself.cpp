// The cost of telling a folder copy into itself by device and inode: before
// a folder is copied or moved, its tree is walked for the target folder
// (a bind mount of one of its subfolders). Timed beside the walk that a copy
// does anyway before it starts (an lstat of every entry, to size the
// progress bar), on the same tree in the same run: once as most machines
// are (the target's file system mounted once, so the paths tell all and no
// walk is needed) and once with a bind mount on that file system (as root;
// then the tree is walked).
// Usage: bench_intoitself [folders] [runs] [work folder]
//        (defaults 10000, 7, /var/tmp/sq-bench-intoitself); 4 files a folder.
#include "platform/FileSafety.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <vector>

namespace {

// The reference: every entry lstat'ed, as the copy's size count does.
qint64 sizeWalk(const QByteArray& folder)
{
    qint64 sum = 0;
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return 0;
    std::vector<QByteArray> names;
    while (const dirent* e = ::readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(folder + '/' + e->d_name);
    ::closedir(dir);
    for (const QByteArray& path : names) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) continue;
        sum += S_ISDIR(st.st_mode) ? sizeWalk(path) : st.st_size;
    }
    return sum;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int folders = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
    const QString work =
        argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("/var/tmp/sq-bench-intoitself");
    QDir(work).removeRecursively();
    const QString source = work + QStringLiteral("/album");
    const QString target = work + QStringLiteral("/elsewhere");
    QDir().mkpath(target);
    // 10 folders a level, so the tree is a few levels deep.
    for (int i = 0; i < folders; ++i) {
        QString path = source;
        for (int n = i; n > 0; n /= 10)
            path += QStringLiteral("/d%1").arg(n % 10);
        path += QStringLiteral("/f%1").arg(i);
        QDir().mkpath(path);
        for (int f = 0; f < 4; ++f) {
            QFile file(path + QStringLiteral("/p%1.jpg").arg(f));
            if (file.open(QIODevice::WriteOnly)) file.write("x");
        }
    }
    std::vector<double> check, walk, bound;
    bool wrong = false;
    const QByteArray view = QFile::encodeName(work + QStringLiteral("/view"));
    QDir().mkpath(work + QStringLiteral("/view"));
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        wrong = wrong || sq::platform::isFolderInside(target, source);
        check.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        wrong = wrong || sizeWalk(QFile::encodeName(source)) <= 0;
        walk.push_back(t.nsecsElapsed() / 1e6);
        if (::mount(QFile::encodeName(target).constData(), view.constData(), nullptr, MS_BIND,
                    nullptr) == 0) {
            t.restart();
            wrong = wrong || sq::platform::isFolderInside(target, source);
            bound.push_back(t.nsecsElapsed() / 1e6);
            ::umount2(view.constData(), MNT_DETACH);
        }
    }
    const double ref = median(walk);
    std::printf("%-44s %8s %10s %7s\n", "what", "folders", "median ms", "ratio");
    std::printf("%-44s %8d %10.2f %7.2f\n", "size walk of the copy (reference)", folders, ref, 1.0);
    std::printf("%-44s %8d %10.2f %7.3f\n", "into-itself check, file system mounted once", folders,
                median(check), median(check) / ref);
    if (bound.empty())
        std::printf("%-44s %8d %10s %7s\n", "into-itself check, a bind mount present", folders,
                    "n/a", "(not root)");
    else
        std::printf("%-44s %8d %10.2f %7.3f\n", "into-itself check, a bind mount present", folders,
                    median(bound), median(bound) / ref);
    QDir(work).removeRecursively();
    return wrong ? 1 : 0;
}

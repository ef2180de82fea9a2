#include "viewers/ChooserTargets.h"

QString favoritesFolderLabel(const QString& folder)
{
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'), folder.size() - 2);
    return QLatin1Char(' ') + (folder.size() < 2 ? folder : folder.mid(slash + 1));
}

std::vector<int> screensToCopy(int code, int screenCount)
{
    if (code >= 11 && code <= 14) return {code - 10};
    if (code != 15) return {};
    std::vector<int> screens{1};
    if (screenCount != 1) screens.push_back(2);
    if (screenCount == 4) {
        screens.push_back(3);
        screens.push_back(4);
    }
    return screens;
}

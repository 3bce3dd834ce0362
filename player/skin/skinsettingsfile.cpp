// Kept apart from the line codec so that the codec links without the store.
#include "skinsettings.h"

#include "options.h"

bool TSkinSettings::loadFromFile(const QString &fileName, TSkinSettings &out)
{
    TStringListC list;
    list.LoadFromFile(fileName);
    bool ok = false;
    out = fromLines(list, &ok);
    return ok;
}

bool TSkinSettings::saveToFile(const QString &fileName) const
{
    TStringListC list;
    list.append(toLines());
    return list.SaveToFile(fileName);
}

#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

#include "support/temp_tree.h"

// Trees whose rules hand files on to one another, to hold what a dry run plans against what
// the run then does. Each is built in a fresh TempTree; kChainRunAt is the time both run as of.
struct ChainedTree {
    const char* name;
    void (*build)(TempTree& tree);
};

inline const QString kChainRunAt = QStringLiteral("2003/03/29 09:05:07");

const std::vector<ChainedTree>& chainedTrees();

// The tested contracts section: every class of every tree, in name order.
#pragma once

#include <cstdio>

void writeContractsSection(FILE* file, int treeCount);

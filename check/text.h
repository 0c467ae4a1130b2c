#pragma once

#include <QCoreApplication>

// The translation context of every text the tool prints: Check::tr("...").
class Check
{
    Q_DECLARE_TR_FUNCTIONS(Check)
};

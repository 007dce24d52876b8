#pragma once

#include <QKeySequence>
#include <QString>

class QAction;

// The commands' tool tips in the program's words from the string table: the command's name,
// with its key when it has one, then on a line of its own what the command does.
QString ToolTipText(const QString& name, const QKeySequence& key, const QString& explanation);
// A command's name as its toolbar button or menu item shows it, without mnemonic, key or
// trailing "...".
QString CommandName(const QAction& action);
// What command `id` does: its own tool tip text where the string table has one, else its
// status-bar prompt.
QString CommandExplanation(int id);
// The tool tip of the "&Options" submenu at `position`; empty where there is none.
QString OptionsSubmenuToolTip(int position);
// Why Send via IR is off, or empty when it can run: it needs an open song and a transfer
// program (`program`, empty when none was found).
QString SendViaIrBlocker(bool songLoaded, const QString& program);

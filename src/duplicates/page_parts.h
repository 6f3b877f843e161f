// The parts of the statistics and duplicate pages that live in their own
// files; duplicates::installPages calls each once per workbench window.
#pragma once

#include <functional>

class QListWidget;
class QObject;
class QPushButton;
class frmdataform;

namespace duplicates {

/// The four buttons of a column chooser: move the selected or all entries
/// right, or left.
struct MoveButtons {
    QPushButton* move = nullptr;
    QPushButton* moveAll = nullptr;
    QPushButton* back = nullptr;
    QPushButton* backAll = nullptr;
};

/// A one-entry move is possible when the list has a current entry or selected
/// entries; a move of all when it has entries.
void setMoveButtons(const MoveButtons& b, const QListWidget* left, const QListWidget* right);

/// Moves every entry of from (all) or its selected ones to the end of to,
/// in their order.
void moveEntries(QListWidget* from, QListWidget* to, bool all);

/// Wires a chooser: the buttons and the double-clicks call move(from, to,
/// all); a change of either list's selection calls refresh.
void connectChooser(QObject* owner, QListWidget* left, QListWidget* right, const MoveButtons& b,
                    const std::function<void(QListWidget* from, QListWidget* to, bool all)>& move,
                    const std::function<void()>& refresh);

void installStatistics(frmdataform& form);   ///< Combo1, the score grid, the chart and its filter
void installGroupFilter(frmdataform& form);  ///< double-click on a duplicate group
void installConversion(frmdataform& form);   ///< Convert and Clear Selection of the review list
}

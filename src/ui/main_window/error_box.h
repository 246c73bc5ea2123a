#pragma once

#include <QString>

#include <functional>

// What a modal error message box shows: an error icon, a title, a text and
// one OK button.
struct TErrorBox {
    QString title;
    QString text;
};

// Shows an error box and returns when it has been closed. The application
// uses ShowModalErrorBox; tests put in one that records what would be shown.
using TErrorBoxPresenter = std::function<void(const TErrorBox&)>;

void ShowModalErrorBox(const TErrorBox& box);

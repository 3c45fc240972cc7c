#pragma once
// The main window's created sequence: the start-up steps of the routines, in their order.
namespace qv {

void ApplyWindowOutline();
// Bound by the main window.
void OnMainWindowCreated();

}  // namespace qv

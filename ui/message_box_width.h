#pragma once

class QMessageBox;

// Qt sizes a message box from its text and breaks Chinese, which has no spaces, into a
// column a few characters wide: give the informative text room for a line of about 26
// characters. Call after setInformativeText().
void giveTextRoom(QMessageBox& box);

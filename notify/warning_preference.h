// The user's choice never to see the case-sensitive folder warning again,
// stored for the current user where the product's other components read it.
#pragma once

// Writes "RivaVavirezarShowWarning" = 0 (REG_DWORD) under HKEY_CURRENT_USER
// "SOFTWARE\Corvane\Ardentis", creating the key if needed. Best effort: a
// failure is neither retried nor reported.
void RecordWarningNeverShownAgain() noexcept;

/* The texts SETUP.EXE shows, by their number in its string table, and the
   German ones it ships with. The resource script (resources/setup.rc) and
   the code both read this file, so plain C preprocessor lines only; the
   text is in wide strings, a character outside ASCII as \x and four hex
   digits (windres and the compiler read those alike). setuppack medium
   --language and --text write other texts into the table; a table that is
   missing gives these. */
#ifndef PRELOADER_TEXTS_H
#define PRELOADER_TEXTS_H

#define TEXT_WAITING_TITLE 1
#define TEXT_FAILED_TITLE 2
#define TEXT_DECODE_ERROR 3
#define TEXT_ARCHIVE_MISSING 4
#define TEXT_NOT_BOUND_CONTAINER 5
#define TEXT_NO_STAGING_DIRECTORY 6
#define TEXT_INSTALLER_NOT_STARTED 7

#define GERMAN_WAITING_TITLE L"Bitte warten. Installation wird vorbereitet..."
#define GERMAN_FAILED_TITLE L"Installation nicht m\x00F6glich"
#define GERMAN_DECODE_ERROR L"Fehler beim Decodieren!"
#define GERMAN_ARCHIVE_MISSING L"Die Installationsdaten wurden nicht gefunden:"
#define GERMAN_NOT_BOUND_CONTAINER L"Die Installationsdaten geh\x00F6ren nicht zu diesem Setup-Programm:"
#define GERMAN_NO_STAGING_DIRECTORY \
  L"F\x00FCr die Installation konnte kein sicheres Verzeichnis angelegt werden:"
#define GERMAN_INSTALLER_NOT_STARTED L"Das Installationsprogramm konnte nicht gestartet werden:"

#endif

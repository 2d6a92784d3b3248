#include "app/english_language.h"

#include <span>

namespace mailstow {
namespace {

struct Line {
  const wchar_t* key;
  const wchar_t* value;
};

constexpr Line kLanguage[] = {{L"Language", L"English"}};

constexpr Line kMessages[] = {
    {L"Message1", L"Choose another backup file!"},
    {L"Message2", L"Incorrect password!"},
    {L"Message3", L"Next >"},
    {L"Message4", L"Are you sure?"},
    {L"Message5", L"Create directory?"},
    {L"Message6", L"Invalid Directory!"},
    {L"Message7", L"You must select at least one identity!"},
    {L"Message8", L"You must select at least one Item!"},
    {L"Message9", L"This filename doesn\u2019t exist!"},
    {L"Message10", L"Invalid filename!"},
    {L"Message11", L"This backup file is not compatible with selected E-mail Client!"},
    {L"Message12", L"This file already exists. Overwrite?"},
    {L"Message13", L"Please select an E-mail Client!"},
    {L"Message14",
     L"This E-mail Client doesn\u2019t seem to be installed. Would you like to continue?"},
    {L"Message15", L"Finish"},
    {L"Message16", L"Password ..."},
    {L"Message17", L"General"},
    {L"Message18", L"Advanced"},
    {L"Message19", L"Program execution error! Stowclock."},
    {L"Message20", L"Cannot find the handle of the selected process!"},
    {L"Message21", L"Days"},
    {L"Message22", L"Weeks"},
    {L"Message23", L"Months"},
    {L"Message24", L"Hours"},
    {L"Message31", L"Access denied!"},
    {L"Message32", L"Disk is full. Replace or select other!"},
    {L"Message33", L"Drive is write protected!"},
    {L"Message34", L"Create new backup"},
    {L"Message35", L"Next >"},
    {L"Message36", L"Insert next volume! Disk number"},
    {L"Message44", L"The backup could not be written (error %1)."},
    {L"Message45", L"The backup file is damaged: %1"},
    {L"Message46", L"The backup could not be restored (error %1)."},
    {L"Message47", L"Restore not completed!"},
    {L"Message48",
     L"Not all of the selected items were restored. Data that could not be restored was left as it "
     L"was; Log.txt names what failed."},
    {L"Message49", L"Verifying \u2026"},
    {L"Message50",
     L"The backup file did not read back correctly: %1. It was not saved; an older backup file of "
     L"the same name was left as it was."},
    {L"Message51",
     L"%1 is in use by another program. Close that program and start the backup again."},
    {L"Message53",
     L"The scheduled backup of %1 from %2 did not complete. AutoLog.txt in %3 tells why."},
    {L"Message54", L"Scheduled backup not completed"},
    {L"Message55",
     L"This part of the backup file was not restored, because it would put data outside the "
     L"E-mail Client's folders: %1"},
    {L"Message56", L"The registry data of this backup file could not be written completely: %1"},
    {L"Message57",
     L"The profile list of this machine was kept, because it names profiles made after the "
     L"backup. These restored profiles are not in it and can be added with the E-mail Client's "
     L"profile manager: %1"},
    {L"Message58", L"Undo the last restore of %1 (%2)"},
    {L"Message59", L"Undo this restore"},
    {L"Message60", L"The data this restore replaced was kept first: the restore can be undone."},
    {L"Message61",
     L"The data this restore would replace could not be kept for an undo, so nothing was restored. "
     L"Log.txt tells why."},
    {L"Message62",
     L"There is not enough free space in %1 to keep the data this restore replaces (%2 needed). "
     L"Restore without the possibility to undo it?"},
    {L"Message63", L"Keeping the current data, so that the restore can be undone:"},
    {L"Message64", L"The restore was undone: the E-mail Client data is back as it was before it."},
    {L"Message65", L"The restore could not be undone completely: %1"},
    {L"Message66",
     L"Some files could not be backed up and are not in the backup file (Log.txt names them):%1"},
    {L"Message70", L"Administrator rights are needed to restore this part of the backup file: %1"},
};

constexpr Line kForm1[] = {
    {L"Button1", L"About"},
    {L"Button2", L"< Back"},
    {L"Button3", L"Next >"},
    {L"Button4", L"Exit"},
    {L"Label1", L"Welcome to Letterkeep!"},
    {L"Label2",
     L"This wizard will backup and restore your favourite E-mail Client data: identities, "
     L"E-mail and news messages, address book, accounts, message rules, signatures and the "
     L"blocked senders list."},
    {L"Label3", L"To continue, click Next."},
    {L"Label31", L"Language:"},
    {L"RadioButton1", L"Backup your favourite E-mail Client data"},
    {L"RadioButton2", L"Restore your favourite E-mail Client data"},
    {L"Label5", L"Select your E-mail Client:"},
    {L"Label6", L"Choose items to backup:"},
    {L"Label7", L"Identities:"},
    {L"Label8", L"Items in main identity"},
    {L"Label9", L"Please choose a backup filename"},
    {L"Label10", L"Password:"},
    {L"Label11", L"Retype password:"},
    {L"Button5", L"Browse..."},
    {L"CheckBox1", L"Protect backup file with password"},
    {L"Label12", L"Ready to backup"},
    {L"Label13", L"To continue, click Next."},
    {L"Label19", L"To change backup settings, please click back."},
    {L"Label15", L"Backing Up ..."},
    {L"Label16", L"The program is backing up your E-mail Client data to:"},
    {L"Label14", L"Backup completed!"},
    {L"Label18", L"Choose a backup file to restore from"},
    {L"Button6", L"Browse..."},
    {L"Label20", L"Choose items to restore"},
    {L"Label21", L"Identities:"},
    {L"Label22", L"Items in main identity"},
    {L"Label23", L"Location for restore"},
    {L"RadioButton11", L"Restore directly in program"},
    {L"RadioButton12", L"Restore in other directory in order to import"},
    {L"Button7", L"Browse..."},
    {L"Label24", L"Ready to restore"},
    {L"Label25", L"Make sure that Email Client program is closed."},
    {L"Label26", L"To continue, click Next."},
    {L"Label27", L"Restoring ..."},
    {L"Label28", L"The program is restoring your E-mail Client data from:"},
    {L"Label30", L"Restore completed!"},
    {L"Label32", L"The backup was successfully completed."},
    {L"Label33", L"The items selected were successfully restored."},
    {L"Button8", L"Auto BackUp"},
    {L"SaveDialog1", L"Save file ..."},
    {L"OpenDialog1", L"Open file ..."},
    {L"Label4", L"Please choose an action:"},
    {L"GroupBox1", L"Security "},
    {L"GroupBox2", L"Files "},
    {L"RadioButton14", L"One backup file"},
    {L"RadioButton15", L"Split to files with ..."},
    {L"Button10", L"Go to folder"},
    {L"Label36",
     L"Note: Is recommended to copy the backup file to a floppy, CD-ROM, ZIP diskette or "
     L"network drive."},
};

constexpr Line kForm2[] = {
    {L"Label1", L"Password:"},
    {L"Button1", L"OK"},
    {L"Button2", L"Cancel"},
};

constexpr Line kForm3[] = {
    {L"Button1", L"OK"},
    {L"Label3", L"Version"},
};

constexpr Line kForm4[] = {
    {L"Button2", L"OK"},
    {L"Button3", L"Cancel"},
    {L"Label2", L"E-mail Clients"},
    {L"Label3", L"Items"},
    {L"Label4", L"Backup Folder:"},
    {L"Label1", L"Backup data at every"},
    {L"CheckBox1", L"Enable AutoBackup"},
    {L"Button1", L"Browse"},
    {L"GroupBox1", L" Backup Mode "},
    {L"Label5", L"backups ( Delete older )."},
    {L"RadioButton3", L"Overwrite the last backup file"},
    {L"RadioButton4", L"Backup to a new file"},
    {L"CheckBox2", L"Keep only the last"},
    {L"Label6", L"Password"},
    {L"Label7", L"Retype Password"},
    {L"CheckBox3", L"Protect backup file with password"},
    {L"GroupBox2", L"Files "},
    {L"RadioButton14", L"One backup file"},
    {L"RadioButton15", L"Split to files with ..."},
    {L"Label8", L"Backup start day:"},
    {L"Label9", L"Backup time:"},
    {L"Button4", L"Run now"},
};

constexpr Line kForm5[] = {
    {L"Label1", L"To backup you must first close these programs:"},
    {L"Button1", L"OK"},
    {L"Button2", L"Wait 5 minutes"},
    {L"Button3", L"Close all"},
};

struct Section {
  const wchar_t* name;
  std::span<const Line> lines;
  bool quoted_values;
};

constexpr Section kSections[] = {
    {L"Language", kLanguage, false}, {L"Messages", kMessages, true}, {L"Form1", kForm1, false},
    {L"Form2", kForm2, false},       {L"Form3", kForm3, false},      {L"Form4", kForm4, false},
    {L"Form5", kForm5, false},
};

}  // namespace

std::wstring BuiltInEnglishText() {
  std::wstring text;
  for (const Section& section : kSections) {
    if (!text.empty()) text += L"\r\n";
    text += L'[';
    text += section.name;
    text += L"]\r\n";
    for (const Line& line : section.lines) {
      text += line.key;
      text += section.quoted_values ? L"=\"" : L"=";
      text += line.value;
      text += section.quoted_values ? L"\"\r\n" : L"\r\n";
    }
  }
  return text;
}

}  // namespace mailstow

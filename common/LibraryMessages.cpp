// The options library's message rows.
#include "LibraryMessages.h"

#include "basIniFile.h"

namespace {
const wchar_t kCrLf[] = L"\r\n";
}  // namespace

bool LibraryMessageRow(long n, std::wstring& text, std::wstring& title) {
    switch (n) {
        case 4001:
            text = std::wstring(L"You have called a 'Select Case' where a CASE statement does not exist for the SELECT value.");
            return true;
        case 4002:
            text = std::wstring(L"Error - ") + L"Cannot perform this action because item has already been used.";
            return true;
        case 4501:
            text = std::wstring(L"Program selected is not valid, please select another program.");
            return true;
        case 4502:
            text = std::wstring(L"The program is already the Windows default so there is no need to put it on the Add list.");
            return true;
        case 4503:
            text = std::wstring(L"CAREFUL ! You have no programs selected to start. In such a case, Lumox will let the Windows Default program execute so that your extension is not completely disconnected from all Executable programs.");
            return true;
        case 4504:
            text = std::wstring(L"The program has already been added to this extension.");
            return true;
        case 4505:
            text = std::wstring(L"The program has already been removed to this extension.");
            return true;
        case 4506:
            text = std::wstring(L"The program is already set as default for this extension.");
            return true;
        case 4507:
            text = std::wstring(L"You already have a default and only one is allowed. Please click on the current default and click on Add to keep it or click on Remove to delete it.");
            return true;
        case 4508:
            text = std::wstring(L"This program is the Windows default so there is no need to put in your Default list.");
            return true;
        case 4509:
            text = std::wstring(L"You have already added this extension to the list.");
            return true;
        case 4510:
            text = std::wstring(L"This Extension is already registered with Windows.");
            return true;
        case 4511:
            text = std::wstring(L"Please select an Extension and then try again.");
            return true;
        case 4512:
            text = std::wstring(L"Please select a Program and then try again.");
            return true;
        case 4513:
            text = std::wstring(L"If you have several hard disks that are full of programs then the information gathering about to be done may take several minutes.") + kCrLf + kCrLf + L"You can minimize " + L"Morva Utility Manager" + L" while this is happening and Lumox will inform you when it is completed with a 'Finished' screen. If you do not minimize then it will only 'beep' to say that it is done since you have a display of it 's progress while it is gathering information." + kCrLf + kCrLf + L"Please note: To minimize Lumox you click on the " + L"Morva Utility Manager" + L"minimize button as there is no minimize button on the 'Exe Search screen'.";
            return true;
        case 4514:
            text = std::wstring(L"Information gathering done !");
            return true;
        case 4515:
            text = std::wstring(L"Lumox does not have a Snapshot of Windows file associations. Lumox will now take snapshot so that you can restore future changes that programs may make to your system.") + kCrLf + kCrLf + L"You access the 'Windows Association Restore' feature by right-clicking on the Extensions List and selecting 'Association Save & Restore'.";
            return true;
        case 4516:
            text = std::wstring(L"Adding this extension has caused a conflict in default settings with other categories so the default setting for this category will be removed. You can reestablish this default setting if you want.");
            return true;
        case 4517:
            text = std::wstring(L"Activating this Category has caused some Default setting conflicts. This conflicting defaults under this category will be removed. You can reestablish these default settings if you want.");
            return true;
        case 4518:
            text = std::wstring(L"This alias already exists. Please choose a different alias.");
            return true;
        case 4519:
            text = std::wstring(L"Morva Lumox is about to ask you if you want to add a number of associations that it found possible after looking at your computer's configuration. We suggest that if you are unsure about any particular association category that you click on 'Add' as you will be able to change any setting you accept through normal use of the program later.") + kCrLf + kCrLf + L"These presets are just a convenient starting point for you.";
            return true;
        case 4520:
            text = std::wstring(L"During the Morva Lumox installation the files 'Lumox Test.txt' and 'Lumox Test.htm' were placed on your Windows Desktop. You can click on either of these files to test your associations assuming you accepted the associations for these extensions.");
            return true;
        case 4521:
            text = std::wstring(L"The main data file appears to be missing or corrupt. Please close Lumox rename the") + kCrLf + L"data file: " + GetArchivePath() + L"." + kCrLf + kCrLf + L" Next copy the backup data file" + kCrLf + L"from: " + GetInitialArchivePath() + kCrLf + L"to: " + GetArchivePath() + L"." + kCrLf + kCrLf + L"Then start Lumox again." + kCrLf + L"If you receive this message again then contact customer support.";
            return true;
        case 4522:
            text = std::wstring(L"Some necessary DLL's for Lumox to operate are not working. Please reinstall Lumox and if this message appears again then contact customer support.");
            return true;
        case 4524:
            text = std::wstring(L"You are about to open the Windows 'Folder Options' dialog box. Once open, click on the 'File Types' tab and then add, amend or remove your Windows extensions and associations.") + kCrLf + kCrLf + L"Lumox will update when you close the dialog box." + kCrLf + kCrLf + L"This message will not be redisplayed unless you stop Lumox and restart it.";
            return true;
        case 4525:
            title = L"Program Missing";
            text = std::wstring(L"Lumox cannot install programs for you.") + kCrLf + kCrLf + L"You should install any programs that you want installed FIRST! - Then come back to this screen to restore any previous settings still not restored." + kCrLf + kCrLf + L"NOTE: There are times when a program will set up an extension but not associate it, or, may leave the extension behind but remove it's association. These are often harmless occurrences and may not require fixing. In the first case, tampering without foreknowledge may actually cause problems!";
            return true;
        case 4526:
            title = L"Association Missing";
            text = std::wstring(L"This cannot be corrected here. If however it shows up under the 'Changes Listing' then you can correct it there.") + kCrLf + kCrLf + L"This extension is not linked to an association key." + kCrLf + kCrLf + L"This means that the default value under the extension's registry key is not set or pointing to a nonexistent association registry key." + kCrLf + kCrLf + L"The two most likely reasons for this are that:" + kCrLf + kCrLf + L"* It was intentional by the software company that uses that extension." + kCrLf + L"* An uninstall program didn't clean up properly when it was run." + kCrLf + kCrLf + L"NOTE: If the extension was intentionally unassociated then tampering with it without foreknowledge may cause problems!";
            return true;
        case 4527:
            text = std::wstring(L"WARNING:") + kCrLf + kCrLf + L"This part of Lumox allows you to restore changes to your registry. Making changes to the registry can be dangerous and you should only make changes if you have a thorough understanding of the changes you are about to make." + kCrLf + kCrLf + L"Additionally, you can view diagnostic information about extensions and associations in your registry. You can do this without any danger to your registry.";
            return true;
        case 4528:
            text = std::wstring(L"List Empty:") + kCrLf + kCrLf + L"Lumox has not detected any extension or association changes since the last time you took a snapshot of the registry.";
            return true;
        case 4529:
            text = std::wstring(L"List Empty:") + kCrLf + kCrLf + L"Lumox could not find any extensions setup with an operating system previewer on this computer so the list is empty." + kCrLf + kCrLf + L"If you believe this should not be the case then please contact customer support.";
            return true;
        case 4530:
            text = std::wstring(L"List Empty:") + kCrLf + kCrLf + L"Lumox could not find any extensions setup to be precaught by Explorer on this computer so the list is empty." + kCrLf + kCrLf + L"If you believe this should not be the case then please contact customer support.";
            return true;
        case 4531:
            text = std::wstring(L"Lumox has detected that it did not successfully complete it's scan. Proceed to scan again as this time Lumox will record it's progress and if it stops prematurely it will have the information saved to determine the problem.") + kCrLf + kCrLf + L"Please note that while recording Lumox may take considerably longer to do it's scanning.";
            return true;
        case 4532:
            text = std::wstring(L"Lumox will continue scanning and logging it's scan.") + kCrLf + kCrLf + L"It's unlikely that there will be more than one file that causes a crash. However, if there is then just continue to restart Lumox as it will continue to mark the additional files until there are no more files causing problems." + kCrLf + kCrLf + L"This is a one time process as once the files have been marked they will be avoided on all future scans.";
            return true;
        case 4533:
            text = std::wstring(L"Lumox could not load your preference.") + kCrLf + kCrLf + L"Please contact customer support.";
            return true;
        case 4534:
            text = std::wstring(L"Lumox could not complete the setup process and will now exit.") + kCrLf + kCrLf + L"When you have corrected the problem please restart Lumox. You can do this quickly by pressing the button at the top-left of the toolbar.";
            return true;
        case 4535:
            text = std::wstring(L"Based on your computer's configuration Lumox will now add a number of presets into Lumox with which to get started.");
            return true;
        case 4536:
            text = std::wstring(L"Lumox has encountered recursion error(s) in your registry.") + kCrLf + kCrLf + L"The file: " + GetIniFilePath() + L" has some information for you to help track down this error in the numbered keys:" + kCrLf + L"Key Assoc" + L" n" + kCrLf + L"Key Exten" + L" n" + kCrLf + L"Key Recur" + L" n" + kCrLf + kCrLf + L"You may be able to fix this error with the information supplied however it would be advisable for you to run a good registry diagnosis and recovery program.";
            return true;
        case 4537:
            text = std::wstring(L"Lumox detected registry corruption when it loaded. You need to fix these problems then close and restart Lumox before entering this screen.");
            return true;
        case 4538:
            text = std::wstring(L"Lumox has detected that it didn't complete its loading of the registry.") + kCrLf + kCrLf + L"Lumox will log its progress this time and store the information in: " + GetIniFilePath() + L" so that this registry problem can be tracked down. The logging may significantly slow down the registry load process so please please patient." + kCrLf + kCrLf + L"You may be able to fix this error with the information supplied however it would be advisable for you to run a good registry diagnosis and recovery program.";
            return true;
        case 4539:
            text = std::wstring(L"Please supply your Name and Email address in the From box. Eg: ") + L"\"" + L"My Name" + L"\"" + L" <name@example.com>";
            return true;
        case 4540:
            text = std::wstring(L"Please supply at least one Name and Email address in the To box. Eg: ") + L"\"" + L"Friend's Name" + L"\"" + L" <friend@example.com>, " + L"\"" + L"Another Name" + L"\"" + L" <another@example.com>";
            return true;
        case 4541:
            text = std::wstring(L"Please double check your From and To addresses and press Send again as the fields have just been formatted.  Thanks.");
            return true;
        case 4542:
            text = std::wstring(L"Your email is about to be sent. PLEASE NOTE that some email clients will stop us from sending an email until you give approval  as a security feature. If the program appears to have  stopped working just use your ALT+TAB key to select your email program/client and press Ok to approve and view the email. You can then switch back to our program and continue. ");
            return true;
        case 4543:
            text = std::wstring(L"Your email has been sent!");
            return true;
        case 4544:
            text = std::wstring(L"Sorry, we cannot do this automatically for you as it appears that you do not have an email program setup on your computer that supports MAPI. This can happen if in earlier versions of Windows (such as Windows 95) if you didn't ask for it during your Windows installation. Or, it can happen if MAPI has simply been disabled, perhaps by a System Administrator.") + kCrLf + kCrLf + L"You can send the email yourself through whatever your usual method is by simply cutting and pasting the text on this form into your usual email client or browser." + kCrLf + kCrLf + L"Thank you very much for thinking enough of our products to want to refer them.";
            return true;
        case 4545:
            text = std::wstring(L"Please enter an SMTP server. Without one, the program cannot send your emails.");
            return true;
        case 4546:
            text = std::wstring(L"Your SMTP server address is needed to send emails. Your SMTP Server for outgoing email usually takes the form of ") + L"smtp.example.com" + L". This is the same address you enter into your email client program for outgoing email and is generally supplied to you by your ISP or System Administrator.";
            return true;
        case 4547:
            text = std::wstring(L"Please make sure both your name and email address is entered. This is for the 'From' field of your email.");
            return true;
        case 4548:
            text = std::wstring(L"Sorry, it apprears that you do not have a default email program set on your computer.");
            return true;
        case 4549:
            text = std::wstring(L"Lumox could not save your settings into the data file: ") + GetArchivePath() + L"." + kCrLf + kCrLf + L"The file may be read-only, or another program (a backup or virus checker, say) may be holding it open." + kCrLf + kCrLf + L"Your settings have not been lost: Lumox keeps them and saves them into the data file the next time it starts. Do not replace the data file.";
            return true;
        case 5001:
            text = std::wstring(L"Associating these values in Lumox will NOT change anything in Windows. And, you can immediately 'switch off' anything you associated in Lumox.") + kCrLf + kCrLf + L"We recommend that you let Lumox add these associations during this setup and then Deactivate (switch off) the ones you don't want." + kCrLf + kCrLf + L"This way you will always have the option of 'Turning On' the associations at a future date." + kCrLf + kCrLf + L"PLEASE NOTE: The next time you press `Don't Add` you will not be asked this message." + kCrLf + kCrLf + L"Are you sure that you don't want to add these associations?";
            return true;
        case 5002:
            text = std::wstring(L"Are you sure you want to stop gathering the Exe information on your computer?") + kCrLf + kCrLf + L"NOTE: This will close Lumox first time used.";
            return true;
        case 5003:
            text = std::wstring(L"This default setting conflicts with defaults in other subcategories. Do you wish to update the other settings to match?");
            return true;
        case 5004:
            text = std::wstring(L"IMPORTANT:") + kCrLf + kCrLf + L"If you want Lumox to show the changes you are about to make then click 'Yes' below and Lumox will take a new Snapshot of the registry just before implementing your changes." + kCrLf + kCrLf + L"Please note however that all other changes currently showing will no longer show in the list." + kCrLf + kCrLf + L"If you don't want Lumox to take a snapshot before restoring your settings, just click 'No' below.";
            return true;
        case 5005:
            text = std::wstring(L"The extension doesn't have a link to another valid registry key, that is, it is not associated. By pressing 'Yes' Lumox will set a link to a special registry key it creates called 'Unassigned'. Do you wish to continue?") + kCrLf + kCrLf + L"WARNING: Although you should not encounter any problems with such a simply change to the registry, all changes to the registry should be made with extreme caution.";
            return true;
        case 5006:
            text = std::wstring(L"The key that this extension is associated with doesn't have a 'shell/open/command' subkey. By pressing 'Yes' Lumox will add this subkey to the associated registry key. Do you wish to continue?") + kCrLf + kCrLf + L"WARNING: Although you should not encounter any problems with such a simply change to the registry, all changes to the registry should be made with extreme caution.";
            return true;
        case 5007:
            text = std::wstring(L"It has been at least 60 days since you last scanned your hard drive(s). We recommend that you do so now to make sure Lumox is fully up to date with your system.") + kCrLf + kCrLf + L"Do you want to update your scan now?";
            return true;
        case 5008:
            text = std::wstring(L"Lumox did not find any Exe's on your computer. This should not be possible and is likely to be the result security precautions set by your administrator or in your Firewall/Antivirus software. Also, Lumox only scans drives assigned with drive letters which you may also want to inform your administrator.") + kCrLf + kCrLf + L"Your first courses of action are to contact your administrator for help and then to try rescanning with extra drives selected for scanning." + kCrLf + kCrLf + L"Do you want to try rescanning now?";
            return true;
        default:
            return false;
    }
}

#include "ZintraMessages.h"

namespace {
const std::wstring kTwoLineEnds = L"\r\n\r\n";
}

bool ZintraMessageRow(long n, std::wstring& text, std::wstring&) {
    switch (n) {
        case 4001:
            text = L"You have called a 'Select Case' where a CASE statement does not exist for the SELECT value.";
            return true;
        case 4002:
            text = std::wstring(L"Error - ") + L"Cannot perform this action because item has already been used.";
            return true;
        case 4501:
            text = L"Please supply your Name and Email address in the From box. Eg: \"My Name\" <myname@example.com>";
            return true;
        case 4502:
            text = L"Please supply at least one Name and Email address in the To box. Eg: "
                   L"\"Friend's Name\" <friend@example.com>, \"Another Name\" <another@example.com>";
            return true;
        case 4503:
            text = L"Please double check your From and To addresses and press Send again as the fields have just "
                   L"been formatted.  Thanks.";
            return true;
        case 4504:
            text = L"Your email is about to be sent. PLEASE NOTE that some email clients will stop us from sending "
                   L"an email until you give approval  as a security feature. If the program appears to have  "
                   L"stopped working just use your ALT+TAB key to select your email program/client and press Ok to "
                   L"approve and view the email. You can then switch back to our program and continue. ";
            return true;
        case 4505:
            text = L"Your email has been sent!";
            return true;
        case 4506:
            text = std::wstring(
                       L"Sorry, we cannot do this automatically for you as it appears that you do not have an email "
                       L"program setup on your computer that supports MAPI. This can happen if in earlier versions "
                       L"of Windows (such as Windows 95) if you didn't ask for it during your Windows installation. "
                       L"Or, it can happen if MAPI has simply been disabled, perhaps by a System Administrator.") +
                   kTwoLineEnds +
                   L"You can send the email yourself through whatever your usual method is by simply cutting and "
                   L"pasting the text on this form into your usual email client or browser." +
                   kTwoLineEnds +
                   L"Thank you very much for thinking enough of our products to want to refer them.";
            return true;
        case 4507:
            text = L"Please enter an SMTP server. Without one, the program cannot send your emails.";
            return true;
        case 4508:
            text = L"Your SMTP server address is needed to send emails. Your SMTP Server for outgoing email usually "
                   L"takes the form of smtp.example.com. This is the same address you enter into your email client "
                   L"program for outgoing email and is generally supplied to you by your ISP or System "
                   L"Administrator.";
            return true;
        case 4509:
            text = L"Please make sure both your name and email address is entered. This is for the 'From' field of "
                   L"your email.";
            return true;
        case 4510:
            text = L"Sorry, it apprears that you do not have a default email program set on your computer.";
            return true;
        default:
            return false;
    }
}

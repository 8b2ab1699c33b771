#pragma once

#include "collection/AddLink.h"
#include "platform/HttpMessage.h"

#include <QString>

#include <functional>

class LinkIndex;
class PagePicturer;

// The local receiver's answers: links and pages sent from the browser the user reads in.
//   GET  /api/links?url=U   registered or not, with its twin
//   GET  /api/groups        the group paths in the selector's order
//   POST /api/links         JSON: register or correct a link
//   POST /api/pages         multipart form: a page as one HTML file, with its copy, picture
//                           and text
// Every answer is JSON; the status says what happened.
class CaptureApi : public Local::HttpHandler
{
public:
    struct Hooks
    {
        QString dataPh;
        LinkIndex *index = nullptr; // the search index, told of every link saved
        AddLink::TwinsFn twins; // the window's twin finder; none: the collection is read
        // The window's list and selector show a saved link at once (groupsMade: new groups).
        std::function<void(const LinkRecord &link, bool isNew, bool groupsMade)> changed;
        PagePicturer *picturer = nullptr; // none: pages get no picture
        std::function<int()> pictureSize; // "PC_SIZE"; none: no picture
    };

    explicit CaptureApi(Hooks hooks);

    void handle(const Local::HttpRequest &request, Reply reply) override;

    // The address a page names for itself: the one it was saved from (SingleFile's header
    // comment, "saved from url="), else its canonical link; empty when it names none.
    static QString addressInPage(const QByteArray &html);

private:
    Local::HttpAnswer getLink(const Local::HttpRequest &request);
    Local::HttpAnswer getGroups();
    Local::HttpAnswer postLink(const Local::HttpRequest &request);
    void postPage(const Local::HttpRequest &request, Reply reply);
    // The answer to a finished registration; the window told.
    Local::HttpAnswer answerOf(const AddLink::Outcome &outcome);

    Hooks m_hooks;
};

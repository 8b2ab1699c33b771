#pragma once

// Every statement the program issues. Values are bound in the order of their "?" marks; a
// "?" that takes a list of numbers ("in (?)") gets one bound value per number.
namespace Sql {

inline constexpr char kMaxUrlNo[] = "Select Max(nURL) From tURL";
inline constexpr char kMaxGrpNo[] = "Select Max(nGrp) From mGrp";
inline constexpr char kLinkAddress[] = "Select sURL From tURL Where nURL=?";

// Registration.
inline constexpr char kPageLookup[]
    = "Select gSrt, nURL, sNam, sMem, sURL, nGrp From tURL Where sURL = ?"
      " Order By nURL";
inline constexpr char kInsertLink[] = "Insert Into tURL (nURL, sURL, nGrp, sNam, sMem, gSrt)"
                                      " Values (?, ?, ?, ?, ?, ?)";
inline constexpr char kUpdateLink[] = "Update tURL Set nGrp=?,sNam=?,sMem=?,gSrt=?"
                                      " Where nURL=?";
inline constexpr char kDeleteLink[] = "Delete From tUrl Where nUrl=?";

// The link list and its group selector.
inline constexpr char kGroups[] = "Select nGrp, sGrp, gSrt From mGrp"
                                  " Where nGrp<>0 Order By gSrt, sGrp";
inline constexpr char kRecentLinks[] = "Select U.nURL, U.sURL, G.sGrp, U.sNam, U.sMem"
                                       " From tURL U, mGrp G"
                                       " Where U.nGrp = G.nGrp Order By U.nURL Desc Limit 50";
inline constexpr char kLinksByGroup[] = "Select U.nURL, U.sURL, G.sGrp, U.sNam, U.sMem"
                                        " From tURL U, mGrp G"
                                        " Where U.nGrp = G.nGrp "
                                        " Order By G.gSrt, G.sGrp, U.gSrt, U.sNam";
inline constexpr char kLinksOfGroup[] = "Select U.nURL, U.sURL, G.sGrp, U.sNam, U.sMem"
                                        " From tURL U, mGrp G"
                                        " Where U.nGrp = G.nGrp  And U.nGrp= ?"
                                        " Order By G.gSrt, G.sGrp, U.gSrt, U.sNam";

// The links with their group number and sort key in number order (a plain walk through the
// table), and every group with its name and sort key: the list joins and sorts them itself in
// the order above (group sort key, group name, link sort key, title), much faster than the
// engine's sort of whole rows, and each group's name is held once.
inline constexpr char kListLinks[] = "Select U.nURL, U.sURL, U.nGrp, U.sNam, U.sMem, U.gSrt"
                                     " From tURL U Order By U.nURL";
inline constexpr char kListLinksOfGroup[] = "Select U.nURL, U.sURL, U.nGrp, U.sNam, U.sMem, U.gSrt"
                                            " From tURL U Where U.nGrp= ? Order By U.nURL";
inline constexpr char kListGroups[] = "Select nGrp, sGrp, gSrt From mGrp";
// The first links of one group in the list's order within it, for the window's first screen:
// the engine keeps only the limit's rows while it walks the group.
inline constexpr char kFirstLinksOfGroup[]
    = "Select U.nURL, U.sURL, U.nGrp, U.sNam, U.sMem, U.gSrt From tURL U Where U.nGrp = ?"
      " Order By IfNull(U.gSrt, 0), IfNull(U.sNam, '') Collate NoCase, U.nURL Limit ?";

// The bookmark file: one group's links (or those of group 0 and of groups without a row) in the
// list's order, with the date each was added, so that the file is written as they are read.
inline constexpr char kExportLinksOfGroup[]
    = "Select U.nURL, U.sURL, U.sNam, U.sMem, I.nAdded, T.sTags From tURL U"
      " Left Join tURLInfo I On I.nURL = U.nURL Left Join tURLTag T On T.nURL = U.nURL"
      " Where U.nGrp = ?"
      " Order By IfNull(U.gSrt, 0), IfNull(U.sNam, '') Collate NoCase, U.nURL";
inline constexpr char kExportRootLinks[]
    = "Select U.nURL, U.sURL, U.sNam, U.sMem, I.nAdded, T.sTags From tURL U"
      " Left Join tURLInfo I On I.nURL = U.nURL Left Join tURLTag T On T.nURL = U.nURL"
      " Where U.nGrp = 0 Or U.nGrp Not In (Select nGrp From mGrp)"
      " Order By IfNull(U.gSrt, 0), IfNull(U.sNam, '') Collate NoCase, U.nURL";

// The same file read in a few plain walks through the table instead of one indexed read per
// group: how many links each group number holds (the group index alone answers), and the links
// of some group numbers in number order ("+" keeps the walk off the group index, whose order
// would cost a page read per link).
inline constexpr char kLinkCountsByGroup[] = "Select nGrp, Count(*) From tURL Group By nGrp";
inline constexpr char kLinksOfGroups[] = "Select U.nURL, U.sURL, U.nGrp, U.sNam, U.sMem, U.gSrt"
                                         " From tURL U Where +U.nGrp In (?) Order By U.nURL";
inline constexpr char kAllLinksInOrder[] = "Select U.nURL, U.sURL, U.nGrp, U.sNam, U.sMem, U.gSrt"
                                           " From tURL U Order By U.nURL";
inline constexpr char kLinkAddedInOrder[]
    = "Select nURL, nAdded From tURLInfo Where nAdded Is Not Null Order By nURL";

// Batch pictures.
inline constexpr char kAllLinksForImages[] = "Select nURL, sURL From tURL Order By nURL";

// When each link was added (tURLInfo).
inline constexpr char kSetLinkAdded[]
    = "Insert Or Replace Into tURLInfo (nURL, nAdded) Values (?, ?)";
inline constexpr char kLinkAddedDates[] = "Select nURL, nAdded From tURLInfo";
inline constexpr char kDeleteLinkInfo[] = "Delete From tURLInfo Where nURL in (?)";
inline constexpr char kDeleteAllLinkInfo[] = "Delete From tURLInfo";
inline constexpr char kDeleteLinkInfoBetween[] = "Delete From tURLInfo Where nURL Between ? And ?";

// The tags a bookmark file gave each link (tURLTag).
inline constexpr char kSetLinkTags[] = "Insert Or Replace Into tURLTag (nURL, sTags) Values (?, ?)";
inline constexpr char kLinkTags[] = "Select nURL, sTags From tURLTag";
inline constexpr char kDeleteLinkTags[] = "Delete From tURLTag Where nURL in (?)";
inline constexpr char kDeleteAllLinkTags[] = "Delete From tURLTag";
inline constexpr char kDeleteLinkTagsBetween[] = "Delete From tURLTag Where nURL Between ? And ?";

// The link check's history (tURLCheck).
inline constexpr char kAddCheck[] = "Insert Into tURLCheck (nURL, nAt, nVerdict, nStatus, sFinal,"
                                    " sMoved) Values (?, ?, ?, ?, ?, ?)";
// The latest check of a link and, when it found the link dead, the dead checks before it up to
// the last one that did not (that one included), newest first.
inline constexpr char kLastChecks[]
    = "Select nAt, nVerdict, nStatus, sFinal, sMoved From tURLCheck Where nURL = ?"
      " And nChk >= IfNull((Select Max(nChk) From tURLCheck Where nURL = ? And nVerdict <> 1), 0)"
      " Order By nChk Desc";
// Every check in the order recorded, for the marks of a whole grid.
inline constexpr char kAllChecks[]
    = "Select nURL, nAt, nVerdict, sMoved From tURLCheck Order By nChk";
inline constexpr char kDeleteChecks[] = "Delete From tURLCheck Where nURL in (?)";
inline constexpr char kDeleteAllChecks[] = "Delete From tURLCheck";

// The maintenance window.
inline constexpr char kGridGroups[] = "Select nGrp, sGrp, gSrt From mGrp"
                                      " Where nGrp<>0 Order By gSrt, sGrp";
inline constexpr char kGridLinks[] = "Select U.nURL, U.sNam, G.sGrp, U.gSrt, U.sURL"
                                     " From tURL U, mGrp G"
                                     " Where U.nGrp = G.nGrp Order By U.nURL";
inline constexpr char kUpdateGroup[] = "Update mGrp Set sGrp=?, gSrt=?  Where nGrp=? ";
inline constexpr char kInsertGroup[] = "Insert Into mGrp (nGrp, sGrp, gSrt) Values (?,?,? ) ";
inline constexpr char kRenameGroup[] = "Update mGrp Set sGrp=? Where nGrp=?";
inline constexpr char kJoinGroup[] = "Update tURL Set nGrp=? Where nGrp=?";
inline constexpr char kMoveLinksOfGroups[] = "Update tURL Set nGrp=0  Where nGrp in (?)";
inline constexpr char kDeleteGroups[] = "Delete From mGrp Where nGrp in (?)";
inline constexpr char kUpdateGridLink[] = " Update tURL Set sNam=?, nGrp=?, gSrt=? Where nURL=? ";
inline constexpr char kDeleteLinks[] = "Delete From tURL Where nURL in (?)";
// A link's address, written only when it differs (letter case included) from the stored one:
// "移転先に更新" moves a link to the address its page has moved to.
inline constexpr char kUpdateLinkAddress[]
    = "Update tURL Set sURL=? Where nURL=? And sURL Is Not ? Collate Binary";
inline constexpr char kLinkNumbers[] = "Select nUrl From tUrl Order By nUrl";
inline constexpr char kDeleteAllGroups[] = "Delete From mGrp";
inline constexpr char kDeleteAllLinks[] = "Delete From tURL";
inline constexpr char kInsertGroupZero[] = "Insert Into mGrp (nGrp, sGrp, gSrt) Values (0, ?, 0)";

// The full-text index (Idx/text.db, a file of its own): the pages' text under the link's number,
// and which copy each was read from (size and time; nOk 0: it could not be read). The text is
// kept compressed in tTextBody (lwText gives it back); two tables index it without a copy of
// their own: tText the pieces with their places (phrases, Latin words; lwhits counts a row's
// hits), tTextChar every CJK character alone, presence only (one-character queries: no places,
// no lengths, one short list a character). tTextLen keeps every page's length in tText's tokens,
// kTextLenBlock to a row, so that a query reads them all at once instead of one a row.
inline constexpr int kTextIndexVersion = 4;
inline constexpr int kTextLenBlock = 512;
inline constexpr char kTextFts5Api[] = "Select fts5(?1)";
// The texts in the order they came: a backfill goes newest link first, and rows keyed by the
// link's number would then go in from the left of the tree, leaving its pages half empty.
inline constexpr char kTextBodyCreate[]
    = "Create Table If Not Exists tTextBody (nSeq Integer Primary Key,"
      " nURL Integer Not Null Unique, bText Blob);"
      " Create View If Not Exists vText As Select nURL, lwText(bText) As sText From tTextBody";
inline constexpr char kTextCreate[]
    = "Create Virtual Table If Not Exists tText Using fts5(sText, tokenize='linkwell',"
      " content='vText', content_rowid='nURL');"
      " Create Virtual Table If Not Exists tTextChar Using fts5(sText, tokenize='linkwell chars',"
      " detail=none, columnsize=0, content='vText', content_rowid='nURL')";
// The same tables over FTS5's own tokenizer, as the benchmark compares them.
inline constexpr char kTextCreatePlain[]
    = "Create Virtual Table If Not Exists tText Using fts5(sText, content='vText',"
      " content_rowid='nURL');"
      " Create Virtual Table If Not Exists tTextChar Using fts5(sText, detail=none,"
      " columnsize=0, content='vText', content_rowid='nURL')";
inline constexpr char kTextPageSize[]
    = "Insert Into tText (tText, rank) Values ('pgsz', 65000);"
      " Insert Into tTextChar (tTextChar, rank) Values ('pgsz', 65000)";
// Per block of kTextLenBlock numbers from nBlock * kTextLenBlock on: 32-bit lengths, little
// endian, 0 where no text is kept.
inline constexpr char kTextLenCreate[]
    = "Create Table If Not Exists tTextLen (nBlock Integer Primary Key, bLen Blob)";
inline constexpr char kTextLenGet[] = "Select bLen From tTextLen Where nBlock = ?";
inline constexpr char kTextLenPut[]
    = "Insert Or Replace Into tTextLen (nBlock, bLen) Values (?, ?)";
inline constexpr char kTextLenAll[] = "Select nBlock, bLen From tTextLen Order By nBlock";
// The tokens of one page's text, as tText counted them when it went in.
inline constexpr char kTextTokens[] = "Select lwsize(tText) From tText Where rowid = ?";
// Changes when another connection changed the file.
inline constexpr char kTextDataVersion[] = "PRAGMA data_version";
inline constexpr char kTextCopyCreate[]
    = "Create Table If Not Exists tTextCopy (nURL Integer"
      " Primary Key, nSize Integer, nTime Integer, nOk Integer)";
// Merges the index's segments into one and folds the log into the file: smaller, faster reads.
inline constexpr char kTextOptimize[]
    = "Insert Into tText (tText) Values ('optimize');"
      " Insert Into tTextChar (tTextChar) Values ('optimize'); PRAGMA incremental_vacuum;"
      " PRAGMA wal_checkpoint(TRUNCATE)";
inline constexpr char kTextBodyOld[] = "Select lwText(bText) From tTextBody Where nURL = ?";
inline constexpr char kTextBodyPut[] = "Insert Into tTextBody (nURL, bText) Values (?, ?)";
inline constexpr char kTextBodyDelete[] = "Delete From tTextBody Where nURL = ?";
// Per table: a text in, a text out (given as it was indexed, or it does not leave).
inline constexpr const char *kTextPut[] = {"Insert Into tText (rowid, sText) Values (?, ?)",
                                           "Insert Into tTextChar (rowid, sText) Values (?, ?)"};
inline constexpr const char *kTextDelete[]
    = {"Insert Into tText (tText, rowid, sText) Values ('delete', ?, ?)",
       "Insert Into tTextChar (tTextChar, rowid, sText) Values ('delete', ?, ?)"};
inline constexpr char kTextCopyPut[]
    = "Insert Or Replace Into tTextCopy (nURL, nSize, nTime, nOk) Values (?, ?, ?, ?)";
inline constexpr char kTextCopyDelete[] = "Delete From tTextCopy Where nURL = ?";
inline constexpr char kTextDeleteAll[] = "Insert Into tText (tText) Values ('delete-all');"
                                         " Insert Into tTextChar (tTextChar) Values ('delete-all');"
                                         " Delete From tTextBody; Delete From tTextLen";
inline constexpr char kTextCopyDeleteAll[] = "Delete From tTextCopy";
inline constexpr char kTextCopies[] = "Select nURL, nSize, nTime, nOk From tTextCopy";
inline constexpr char kTextNumbers[] = "Select nURL From tTextBody";
// What each table and index of the file takes, largest first.
inline constexpr char kTextSizes[]
    = "Select name, sum(pgsize) From dbstat Group By name Order By 2 Desc";
// Per table (TextStore::Table): the pages matching a query, each with its hits (a character's
// table knows presence only: one hit).
inline constexpr const char *kTextScored[]
    = {"Select rowid, lwhits(tText) From tText Where tText Match ?",
       "Select rowid, 1 From tTextChar Where tTextChar Match ?"};

} // namespace Sql

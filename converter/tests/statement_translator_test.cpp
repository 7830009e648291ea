#include "statement_translator.h"

#include <gtest/gtest.h>

#include <string>

#include "line_splitter.h"

namespace orvik::massage {
namespace {

class Translator : public ::testing::Test {
 protected:
  // One source line, through the splitter as the driver sends it.
  std::string Line(const std::string& source) { return SplitSourceLine(tr, source, 0); }

  StatementTranslator tr;
};

TEST_F(Translator, StringLiterals) {
  EXPECT_EQ(Line("X = 'ab'"), "X = \"ab\"");
  EXPECT_EQ(Line("X = ''"), "X = \"\"");
  EXPECT_EQ(Line("X = \"A\":'B'"), "X = \"A\" & \"B\"");
  EXPECT_EQ(Line("\"AB\""), "  \"AB\"");  // a leading literal gets blanks in front
}

TEST_F(Translator, LiteralsKeepTheirContentsWhole) {
  // Every apostrophe inside a double-quoted literal, however many.
  EXPECT_EQ(Line("X = \"it's Bob's\""), "X = \"it's Bob's\"");
  EXPECT_EQ(Line("X = 'say \"hi\"'"), "X = \"say \"\"hi\"\"\"");
  EXPECT_EQ(Line("X = \"C:\\DIR\\\""), "X = \"C:\\DIR\\\"");
  EXPECT_EQ(Line("X = \\it's\\"), "X = \"it's\"");
  // Operator words, marks and Latin-1 letters that look like the converter's own markers.
  EXPECT_EQ(Line("PRINT \"A NE B GT C\""), "PPrint \"A NE B GT C\"");
  EXPECT_EQ(Line("X = 'C\xF4te \xF5 \xF6 \xFE'"), "X = \"C\xF4te \xF5 \xF6 \xFE\"");
  EXPECT_EQ(Line("X = 'a(b;c)=d<1>'"), "X = \"a(b;c)=d<1>\"");
}

TEST_F(Translator, OperatorsAndRelations) {
  EXPECT_EQ(Line("X = A : B"), "X = A & B");
  EXPECT_EQ(Line("IF A & B THEN"), "IF A AND B THEN");
  EXPECT_EQ(Line("IF A # B THEN"), "IF A <> B THEN");
  EXPECT_EQ(Line("IF A <> B THEN"), "IF A <> B THEN");
  EXPECT_EQ(Line("IF A GT B OR C le D THEN"), "IF A > B OR C <= D THEN");
  EXPECT_EQ(Line("IF A ! B THEN"), "IF A OR B THEN");
  EXPECT_EQ(Line("X=Y+Z*2"), "X = Y + Z * 2");
}

TEST_F(Translator, WordsRenamed) {
  EXPECT_EQ(Line("X = TRUE ; Y = false"), "X = TTrue :  Y = FFalse");
  EXPECT_EQ(Line("X = CHAR(13):STR('-', 3)"), "X = Chr( 13 ) & SStr( \"-\" , 3 )");
  EXPECT_EQ(Line("  X.Y = A.B"), "  X_Y = A_B");
  EXPECT_EQ(Line("X = TYPE + DIR + ANY + ERASE"), "X = TTYPE + DDIR + AANY + EERASE");
}

TEST_F(Translator, Labels) {
  EXPECT_EQ(Line("100 CRT X"), "100\r\nCRT X");
  EXPECT_EQ(Line("START: CRT X"), "START:\r\nCRT X");
  EXPECT_EQ(Line("10.5 X = 1"), "L10_5:\r\nX = 1");
  EXPECT_EQ(Line("START:"), "START:");
  EXPECT_EQ(Line("10:"), "10");
  EXPECT_EQ(Line("10 * note"), "10 '-- label, was * note");
  EXPECT_EQ(Line("START: * note"), "START: '-- label, was * note");
  EXPECT_EQ(Line("GOTO 10.5"), "GOTO L10_5");
  EXPECT_EQ(Line("GO TO 10"), "Goto 10");
  EXPECT_EQ(Line("GO TO 10.5"), "Goto L10_5");
  EXPECT_EQ(Line("GO 10"), "Goto 10");
}

TEST_F(Translator, LabelsOfEveryNameAreKeptAndJumpedTo) {
  EXPECT_EQ(Line("OPEN.FILES:"), "OPEN_FILES:");
  EXPECT_EQ(Line("GOSUB OPEN.FILES"), "GOSUB OPEN_FILES");
  EXPECT_EQ(Line("GIRAR_FIGURA: X = 1"), "GIRAR_FIGURA:\r\nX = 1");
  EXPECT_EQ(Line("main.loop: CRT X:"), "main_loop:\r\nCRT X , False");
  EXPECT_EQ(Line("GOTO main.loop"), "GOTO main_loop");
  EXPECT_EQ(Line("10 * it's here"), "10 '-- label, was * it's here");
  EXPECT_EQ(Line("A.B := 'X'"), "A_B = A_B & \"X\"");  // ":=" makes no label
}

TEST_F(Translator, CompoundAssignmentsAreWrittenOut) {
  EXPECT_EQ(Line("lno += 1"), "lno = lno + 1");
  EXPECT_EQ(Line("mode.names := @VM:'x'"), "mode_names = mode_names & @VM & \"x\"");
  EXPECT_EQ(Line("X -= A + B"), "X = X - ( A + B )");
  EXPECT_EQ(Line("X *= 2 ; Y /= 2"), "X = X * 2 :  Y = Y / 2");
  EXPECT_EQ(Line("S(I) += 1"), "S( I ) = S( I ) + 1");
  EXPECT_EQ(Line("REC<1> += QTY"), "REC = RReplace( REC , 1 , Extract( REC , 1 ) + QTY )");
  EXPECT_EQ(Line("IF A THEN X += 1 ELSE X -= 1"), "IF A THEN X = X + 1 ELSE X = X - 1");
  // However many there are, each target is written twice and no more.
  std::string line = "X";
  for (int i = 0; i < 10; ++i) line = "(" + line + ")+=1 THEN";
  EXPECT_LT(Line(line).size(), 20 * line.size());
}

TEST_F(Translator, ElseEndingTheLineOpensABlock) {
  EXPECT_EQ(Line("IF NUM(ANS) ELSE"), "If Not ( NUM( ANS ) ) Then");
  EXPECT_EQ(Line("END"), "END If");
  EXPECT_EQ(Line("IF X ELSE STOP"), "If Not ( X ) Then SStop");
  EXPECT_EQ(Line("  IF A THEN X = 1 ELSE"), "  IF A THEN\r\n  X = 1\r\n  Else");
  EXPECT_EQ(Line("  END"), "  END If");
  EXPECT_EQ(Line("OPEN 'M' TO F THEN GOTIT = TRUE ELSE"),
            "If OOPEN ( \"M\" , F ) Then\r\nGOTIT = TTrue\r\nElse");
  EXPECT_EQ(Line("END"), "END If");
  EXPECT_EQ(Line("END"), "Exit Sub  ' === END ===");
  // A field stored in a THEN clause is stored, one compared in the condition compared.
  EXPECT_EQ(Line("IF R<1> = '' THEN R<1> = DATE()"),
            "IF Extract( R , 1 ) = \"\" THEN R = RReplace( R , 1 , DATE( ) )");
}

TEST_F(Translator, CaseBlocks) {
  EXPECT_EQ(Line("BEGIN CASE"), "'---- was a databasic BEGIN CASE ---");
  EXPECT_TRUE(tr.CasePending);
  EXPECT_EQ(Line("  CASE A = 1"), "  If A = 1 Then");
  EXPECT_FALSE(tr.CasePending);
  EXPECT_EQ(Line("  CASE A = 2"), "  ElseIf A = 2 Then");
  EXPECT_EQ(Line("  CASE 1"), "  Else");
  EXPECT_EQ(Line("END CASE"), "End If");
  // A name that merely begins with CASE is no CASE.
  EXPECT_EQ(Line("CASEY = 1"), "CASEY = 1");
}

TEST_F(Translator, CaseOnAReference) {
  Line("BEGIN CASE");
  EXPECT_EQ(Line("CASE X<1> = 2"), "If Extract( X , 1 ) = 2 Then");
  EXPECT_EQ(Line("CASE X<2> = 3"), "ElseIf Extract( X , 2 ) = 3 Then");
}

TEST_F(Translator, Loops) {
  EXPECT_EQ(Line("LOOP"), "Do");
  EXPECT_EQ(tr.LoopKind, "Do");
  EXPECT_EQ(Line("UNTIL X = 5 DO"), "If X = 5 Then Exit Do");
  EXPECT_EQ(Line("WHILE X DO"), "If Not ( X ) Then Exit Do");
  EXPECT_EQ(Line("REPEAT"), "Loop");
  EXPECT_EQ(Line("UNTIL X"), "If X");
  EXPECT_EQ(Line("LOOP WHILE X DO"), "Do WHILE X");
  // DO is a word of its own: a name beginning with DO is not cut.
  EXPECT_EQ(Line("UNTIL DONE DO"), "If DONE Then Exit Do");
  EXPECT_EQ(Line("WHILE DOIT DO"), "If Not ( DOIT ) Then Exit Do");
}

TEST_F(Translator, ExitTakesTheKindOfTheLastLoop) {
  EXPECT_EQ(Line("EXIT"), "EXIT");
  Line("LOOP");
  EXPECT_EQ(Line("IF X THEN EXIT"), "IF X THEN EXIT Do");
  Line("FOR I = 1 TO 3");
  EXPECT_EQ(Line("EXIT"), "EXIT For");
}

TEST_F(Translator, IfBlocksAndEnd) {
  EXPECT_EQ(Line("END"), "Exit Sub  ' === END ===");
  EXPECT_EQ(Line("IF A THEN"), "IF A THEN");
  EXPECT_EQ(tr.OpenIfCount, 1);
  EXPECT_EQ(Line("  END ELSE"), "  Else");
  EXPECT_EQ(Line("  END"), "  END If");
  EXPECT_EQ(tr.OpenIfCount, 0);
  EXPECT_EQ(Line("END"), "Exit Sub  ' === END ===");
}

TEST_F(Translator, EndElseWithAStatementClosesTheBlock) {
  Line("IF A THEN");
  EXPECT_EQ(Line("  END ELSE X = 2"), "  Else \r\n    X = 2\r\n    End If");
  EXPECT_EQ(tr.OpenIfCount, 0);
  EXPECT_EQ(Line("END"), "Exit Sub  ' === END ===");
}

TEST_F(Translator, ForUntilBecomesADoLoop) {
  EXPECT_EQ(Line("FOR I = 1 TO 10 UNTIL DONE"),
            "'-- FOR .. UNTIL|WHILE convert to DO .. LOOP, orig was:\r\n"
            "'-- FOR I = 1 TO 10 UNTIL DONE\r\n"
            "I = 1 - 1\r\n"
            "DO UNTIL DONE\r\n"
            "  I = I + 1");
  ASSERT_EQ(tr.ForLoopStack.size(), 1u);
  EXPECT_EQ(tr.LoopKind, "For");
  EXPECT_EQ(Line("NEXT"), "NEXT");  // without its variable it does not close the loop
  EXPECT_EQ(Line("NEXT I"), "Loop Until I >= 10");
  EXPECT_TRUE(tr.ForLoopStack.empty());
}

TEST_F(Translator, ForWhileWithStepAndIndentation) {
  EXPECT_EQ(Line("  for j = 1 to n step 2 while ok"),
            "  '-- FOR .. UNTIL|WHILE convert to DO .. LOOP, orig was:\r\n"
            "  '-- for j = 1 to n step 2 while ok\r\n"
            "  J = 1 - 1\r\n"
            "  DO while ok\r\n"
            "    J = J + 2");
  EXPECT_EQ(Line("  next j"), "  Loop Until J >= n");
}

TEST_F(Translator, NestedForLoopsCloseInnermostFirst) {
  Line("FOR I = 1 TO 3 UNTIL A");
  Line("FOR J = 1 TO 4 UNTIL B");
  EXPECT_EQ(Line("NEXT I"), "NEXT I");  // not the innermost loop
  EXPECT_EQ(Line("NEXT J"), "Loop Until J >= 4");
  EXPECT_EQ(Line("NEXT I"), "Loop Until I >= 3");
}

TEST_F(Translator, LabelledForKeepsItsLabel) {
  EXPECT_EQ(Line("10 FOR I = 1 TO 2 UNTIL X"),
            "10\r\n'-- FOR .. UNTIL|WHILE convert to DO .. LOOP, orig was:\r\n"
            "'-- FOR I = 1 TO 2 UNTIL X\r\nI = 1 - 1\r\nDO UNTIL X\r\n  I = I + 1");
}

TEST_F(Translator, ForThatCannotBeTakenApartIsLeftAsItWas) {
  std::string out = Line("FOR I UNTIL X");
  EXPECT_NE(out.find("could not take this FOR loop apart"), std::string::npos) << out;
  EXPECT_NE(out.find("FOR I UNTIL X"), std::string::npos) << out;
  EXPECT_TRUE(tr.ForLoopStack.empty());
}

TEST_F(Translator, PlainForStaysAsWritten) {
  EXPECT_EQ(Line("FOR I = 1 TO 10 STEP 2"), "FOR I = 1 TO 10 STEP 2");
  EXPECT_EQ(Line("NEXT I"), "NEXT I");
}

TEST_F(Translator, Equates) {
  EXPECT_EQ(Line("EQU A TO 1, B TO 2"), "A = 1 : B = 2");
  EXPECT_EQ(Line("EQUATE AM TO CHAR(254)"), "AM = Chr( 254 )");
  EXPECT_EQ(Line("EQU X TO F(1, 2)"), "X = F( 1 , 2 )");
}

TEST_F(Translator, Substrings) {
  EXPECT_EQ(Line("X = Y[1,3]"), "X = Mid( Y , 1 , 3 )");
  EXPECT_EQ(Line("X = Y[1,3] : Z[2,N]"), "X = Mid( Y , 1 , 3 ) & Mid( Z , 2 , N )");
  // No comma: systems read X[n] differently, so it is left (a bracket, being a value word,
  // reads as a format mask); the references behind it are still converted.
  EXPECT_EQ(Line("X = Y[2]"), "X = FMT(Y, [) 2 ]");
  EXPECT_EQ(Line("X = Y[2] : Z[1,2]"), "X = FMT(Y, [) 2 ] & Mid( Z , 1 , 2 )");
  // Behind a field reference, a call, a bracketed value and another substring.
  EXPECT_EQ(Line("X = JUNK<1>[1,1]"), "X = Mid( Extract( JUNK , 1 ) , 1 , 1 )");
  EXPECT_EQ(Line("X = (LCT:TESTX)[1,FUL]"), "X = Mid( ( LCT & TESTX ) , 1 , FUL )");
  EXPECT_EQ(Line("X = TRIM(A)[2,3]"), "X = Mid( TRIM( A ) , 2 , 3 )");
  EXPECT_EQ(Line("IF (A:B)[1,1] = 'X' THEN"), "IF Mid( ( A & B ) , 1 , 1 ) = \"X\" THEN");
  EXPECT_EQ(Line("X = Y[1,5][2,1]"), "X = Mid( Mid( Y , 1 , 5 ) , 2 , 1 )");
}

TEST_F(Translator, DynamicArrayReferences) {
  EXPECT_EQ(Line("X<1,2> = Y"), "X = RReplace( X , 1 , 2 , Y )");
  EXPECT_EQ(Line("Z = X<1,2,3>"), "Z = Extract( X , 1 , 2 , 3 )");
  EXPECT_EQ(Line("IF X<1> = 2 THEN Y = 1"), "IF Extract( X , 1 ) = 2 THEN Y = 1");
  EXPECT_EQ(Line("IF A < B THEN X = C<1>"), "IF A < B THEN X = Extract( C , 1 )");
  EXPECT_EQ(Line("X<1> = Y<2>"), "X = RReplace( X , 1 , Extract( Y , 2 ) )");
  EXPECT_EQ(Line("X<1> = F(A)"), "X = RReplace( X , 1 , F( A ) )");
  EXPECT_EQ(Line("REC(3)<1> = 5"), "REC( 3 ) = RReplace( REC( 3 ) , 1 , 5 )");
  EXPECT_EQ(Line("IF A < B THEN"), "IF A < B THEN");
}

TEST_F(Translator, AssignedReferenceTakesTheWholeRightHandSide) {
  EXPECT_EQ(Line("REC<5> = TOTAL + TAX"), "REC = RReplace( REC , 5 , TOTAL + TAX )");
  EXPECT_EQ(Line("REC<1> = FIRST:' ':LAST"), "REC = RReplace( REC , 1 , FIRST & \" \" & LAST )");
  EXPECT_EQ(Line("REC<4> = -1"), "REC = RReplace( REC , 4 , - 1 )");
  EXPECT_EQ(Line("REC<2,1> = (A + B) * 2"), "REC = RReplace( REC , 2 , 1 , ( A + B ) * 2 )");
  EXPECT_EQ(Line("REC<3> = X<1> + 2"), "REC = RReplace( REC , 3 , Extract( X , 1 ) + 2 )");
  // Inside a file verb's clause it ends where the next clause begins.
  EXPECT_EQ(Line("READ R FROM F,K THEN R<1> = N + 1 ELSE R = ''"),
            "If RREAD ( R , F , K ) Then R = RReplace( R , 1 , N + 1 ) ELSE R = \"\"");
}

TEST_F(Translator, ComparisonsAreNotReferences) {
  EXPECT_EQ(Line("IF A < B AND C > D THEN"), "IF A < B AND C > D THEN");
  EXPECT_EQ(Line("IF A <= B OR C >= D THEN"), "IF A <= B OR C >= D THEN");
  EXPECT_EQ(Line("IF A<B AND C>=D THEN"), "IF A < B AND C >= D THEN");
  EXPECT_EQ(Line("IF X<1>=5 THEN"), "IF Extract( X , 1 ) = 5 THEN");
  EXPECT_EQ(Line("X<1>=5"), "X = RReplace( X , 1 , 5 )");
  EXPECT_EQ(Line("IF A EQ B OR C eq D THEN"), "IF A = B OR C = D THEN");
  EXPECT_EQ(Line("IF REM(X,XREM) EQ 1 THEN"), "IF REM( X , XREM ) = 1 THEN");
  EXPECT_EQ(Line("IF A < B AND C > D AND E<1> = 2 THEN"),
            "IF A < B AND C > D AND Extract( E , 1 ) = 2 THEN");
  EXPECT_EQ(Line("X = A < B"), "X = A < B");
}

TEST_F(Translator, FileVerbs) {
  EXPECT_EQ(Line("READ R FROM F, K ELSE"), "If Not RREAD ( R , F , K ) Then");
  EXPECT_EQ(tr.OpenIfCount, 1);
  EXPECT_EQ(Line("WRITE R ON F, K"), "CALL WWRITE ( R , F , K )");
  EXPECT_EQ(tr.OpenIfCount, 1);
  EXPECT_EQ(Line("OPEN 'CUST' TO F ELSE STOP"), "If Not OOPEN ( \"CUST\" , F ) Then SStop");
  EXPECT_EQ(Line("READV V FROM F, K, 3 ELSE V = ''"),
            "If Not RREADV ( V , F , K , 3 ) Then V = \"\"");
  EXPECT_EQ(Line("MATREAD A FROM F, K ELSE MAT A = ''"),
            "If Not MATREAD ( A , F , K ) Then Call Mat(A, \"\")");
  EXPECT_EQ(Line("MATWRITE A ON F, K"), "CALL MATWRITE ( A , F , K )");
  // A clause with its statement on the same line is a one-line If: no block to close.
  EXPECT_EQ(tr.OpenIfCount, 1);
  EXPECT_EQ(Line("READ R FROM F, K THEN"), "If RREAD ( R , F , K ) Then");
  EXPECT_EQ(tr.OpenIfCount, 2);
}

TEST_F(Translator, OneLineFileVerbLeavesTheProgramEndAnEnd) {
  EXPECT_EQ(Line("READ R FROM F, K ELSE STOP"), "If Not RREAD ( R , F , K ) Then SStop");
  EXPECT_EQ(Line("READ R FROM F, K ELSE R = ''"), "If Not RREAD ( R , F , K ) Then R = \"\"");
  EXPECT_EQ(Line("END"), "Exit Sub  ' === END ===");
}

TEST_F(Translator, ReadNext) {
  Line("LOOP");
  EXPECT_EQ(Line("READNEXT ID ELSE EXIT"), "If Not RREADNEXT ( ID ) Then EXIT Do");
  EXPECT_EQ(Line("READNEXT ID FROM LIST ELSE EXIT"), "If Not RREADNEXT ( ID , LIST ) Then EXIT Do");
  EXPECT_EQ(Line("LOOP WHILE READNEXT ID DO"), "Do WHILE RREADNEXT ( ID )");
  EXPECT_EQ(Line("READNEXT ID THEN"), "If RREADNEXT ( ID ) Then");
  EXPECT_EQ(Line("END"), "END If");
  EXPECT_EQ(tr.OpenIfCount, 0);
}

TEST_F(Translator, ReadLockedIsOneBalancedBlock) {
  const std::string test = "ElseIf Val( Mid( ErrorDetail , 2 ) ) = 920 Then";
  EXPECT_EQ(
      Line("READU R FROM F, K LOCKED CRT 'busy' ELSE R = ''"),
      "If RREADU ( R , F , K ) Then\r\n" + test + "\r\nCRT \"busy\"\r\nElse\r\nR = \"\"\r\nEnd If");
  EXPECT_EQ(tr.OpenIfCount, 0);
  EXPECT_EQ(Line("  READVU V FROM F, K, 2 LOCKED GO TO 10 THEN CRT V ELSE V = 'x'"),
            "  If RREADVU ( V , F , K , 2 ) Then\r\n  CRT V\r\n  " + test +
                "\r\n  Goto 10\r\n  Else\r\n  V = \"x\"\r\n  End If");
  EXPECT_EQ(tr.OpenIfCount, 0);

  // LOCKED ending the line: its statements follow, then the THEN and ELSE clauses on lines
  // of their own, in any order, test what the read found; END closes the block.
  EXPECT_EQ(Line("READU R FROM F, K LOCKED"),
            "ReadFound1 = RREADU ( R , F , K )\r\nIf Not ReadFound1 And Val( Mid( ErrorDetail , 2 "
            ") ) = 920 Then");
  EXPECT_EQ(tr.OpenIfCount, 1);
  EXPECT_EQ(Line("  CRT 'busy'"), "  CRT \"busy\"");
  EXPECT_EQ(Line("END THEN"), "ElseIf ReadFound1 Then");
  EXPECT_EQ(Line("  IF X THEN"), "  IF X THEN");
  EXPECT_EQ(Line("  END ELSE"), "  Else");  // the inner If's own
  EXPECT_EQ(Line("  END"), "  END If");
  EXPECT_EQ(Line("END ELSE"), "ElseIf Not ReadFound1 Then");
  EXPECT_EQ(Line("END"), "END If");
  EXPECT_TRUE(tr.LockedReads.empty());
  // The clause words opening lines of their own statements.
  Line("READU R FROM F, K LOCKED");
  EXPECT_EQ(Line("  THEN X<1> = 2"), "  ElseIf ReadFound1 Then\r\n  X = RReplace( X , 1 , 2 )");
  EXPECT_EQ(Line("  ELSE X = ''"), "  ElseIf Not ReadFound1 Then\r\n  X = \"\"");
  EXPECT_EQ(Line("END"), "END If");
  // ELSE ending the line, the LOCKED statement before it.
  EXPECT_EQ(Line("READU R FROM F, K LOCKED CRT 'busy' ELSE"),
            "If RREADU ( R , F , K ) Then\r\n" + test + "\r\nCRT \"busy\"\r\nElse");
  EXPECT_EQ(Line("END"), "END If");
  // THEN ending the line: the found branch must come last.
  EXPECT_EQ(Line("READU R FROM F, K LOCKED CRT 'busy' THEN"),
            "If Not RREADU ( R , F , K ) Then\r\nIf Val( Mid( ErrorDetail , 2 ) ) = 920 Then\r\n"
            "CRT \"busy\"\r\nEnd If\r\nElse");
  EXPECT_EQ(Line("END"), "END If");
  EXPECT_EQ(tr.OpenIfCount, 0);
  EXPECT_EQ(Line("END"), "Exit Sub  ' === END ===");
}

TEST_F(Translator, LinesOfALockedClauseKeepTheirLiteralsAndLoopExits) {
  Line("LOOP");
  EXPECT_EQ(Line("READU R FROM F, 'A' LOCKED EXIT ELSE CRT 'B':"),
            "If RREADU ( R , F , \"A\" ) Then\r\nElseIf Val( Mid( ErrorDetail , 2 ) ) = 920 "
            "Then\r\nEXIT Do\r\nElse\r\nCRT \"B\" , False\r\nEnd If");
}

TEST_F(Translator, FileVerbWithThenAndElseOnOneLine) {
  EXPECT_EQ(Line("READ R FROM F,K THEN CRT 'OK' ELSE CRT 'NO'"),
            "If RREAD ( R , F , K ) Then CRT \"OK\" ELSE CRT \"NO\"");
}

TEST_F(Translator, FileVerbLateInALine) {
  EXPECT_EQ(Line("IF SOMETHING.LONG.TO.TEST THEN READ R FROM F,K ELSE R = ''"),
            "IF SOMETHING_LONG_TO_TEST THEN If Not RREAD ( R , F , K ) Then R = \"\"");
}

TEST_F(Translator, FileVerbClauseKeepsItsOwnWords) {
  EXPECT_EQ(Line("READ R FROM F,K ELSE GO TO 10"), "If Not RREAD ( R , F , K ) Then Goto 10");
  EXPECT_EQ(Line("READ R FROM ELSEWHERE, K ELSE STOP"),
            "If Not RREAD ( R , ELSEWHERE , K ) Then SStop");
  EXPECT_EQ(Line("X = READY"), "X = READY");
}

TEST_F(Translator, TwoFileVerbsOnALine) {
  EXPECT_EQ(Line("OPEN 'A' TO F ELSE OPEN 'B' TO F ELSE STOP"),
            "If Not OOPEN ( \"A\" , F ) Then If Not OOPEN ( \"B\" , F ) Then SStop");
  EXPECT_EQ(tr.OpenIfCount, 0);
}

TEST_F(Translator, PrintWithoutNewLine) {
  EXPECT_EQ(Line("CRT X:"), "CRT X , False");
  EXPECT_EQ(Line("PRINT 'A':"), "PPrint \"A\" , False");
}

TEST_F(Translator, SemicolonsInsideParenthesesReachTheReducer) {
  EXPECT_EQ(Line("D = INSERT(D, 1, 0, 0; X)"), "D = INSERT( D , 1 , 0 , 0 , X )");
  EXPECT_EQ(Line("LOCATE(X, L; P; 'AL') THEN"),
            "IF LOCATE ( X, \"IN\" , L , \"BY\", \"AL\", \"SETTING\", P ) THEN");
  EXPECT_EQ(Line("X = F(A;B)"), "X = F( FMT(FMT(A, \xF6), B) )");
}

TEST_F(Translator, LocateBlockIsClosedByItsEnd) {
  Line("LOCATE X IN L SETTING P ELSE");
  Line("LOCATE(X, L; P) THEN");
  EXPECT_EQ(tr.OpenIfCount, 2);
  EXPECT_EQ(Line("END"), "END If");
  Line("LOCATE(X, L; P) THEN CRT P");  // a one-line clause opens no block
  EXPECT_EQ(Line("END"), "END If");
  EXPECT_EQ(Line("END"), "Exit Sub  ' === END ===");
}

TEST_F(Translator, BlocksBehindALabel) {
  EXPECT_EQ(Line("10 IF X THEN"), "10\r\nIF X THEN");
  EXPECT_EQ(tr.OpenIfCount, 1);
  EXPECT_EQ(Line("20 END"), "20\r\nEND If");
  EXPECT_EQ(Line("30 LOOP"), "30\r\nDo");
  EXPECT_EQ(Line("40 REPEAT"), "40\r\nLoop");
  EXPECT_EQ(Line("50: END"), "50\r\nExit Sub  ' === END ===");
}

TEST_F(Translator, UnbalancedParenthesesDoNotHang) {
  EXPECT_EQ(Line("X = F(A"), "X = F ( A");
  EXPECT_EQ(Line("X = A) + (B"), "X = A ) + ( B");
}

TEST_F(Translator, BlankStatementGivesTwoBlanks) {
  EXPECT_EQ(tr.ConvertStatement(" "), "  ");
  EXPECT_EQ(tr.ConvertStatement(""), " ");
}

TEST_F(Translator, MarkersFromTheSplitterAreTurnedBack) {
  EXPECT_EQ(tr.ConvertStatement("X = \"a\xF4"
                                "b\""),
            "X = \"a'b\"");
  EXPECT_EQ(tr.ConvertStatement("X = \"a\xF5"
                                "b\""),
            "X = \"a\"\"b\"");
}

TEST_F(Translator, YieldsOncePerStatement) {
  int yields = 0;
  tr.yield = [&] { ++yields; };
  Line("X = 1 ; Y = 2 ; * note");
  EXPECT_EQ(yields, 2);
}

TEST_F(Translator, StartConversionForgetsTheLastFile) {
  Line("BEGIN CASE");
  Line("LOOP");
  Line("IF A THEN");
  Line("FOR I = 1 TO 2 UNTIL X");
  tr.StartConversion();
  EXPECT_TRUE(tr.ForLoopStack.empty());
  EXPECT_EQ(tr.OpenIfCount, 0);
  EXPECT_EQ(tr.LoopKind, "");
  EXPECT_FALSE(tr.CasePending);
  EXPECT_EQ(Line("CASE A = 1"), "ElseIf A = 1 Then");
  EXPECT_EQ(Line("EXIT"), "EXIT");
  EXPECT_EQ(Line("END"), "Exit Sub  ' === END ===");
}

}  // namespace
}  // namespace orvik::massage

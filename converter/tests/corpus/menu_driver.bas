SUBROUTINE MENU.DRIVER(MENU.ID, CHOICE)
* Shows a menu and returns the chosen option number.
!  The menu record holds titles in attribute 1 and options in 2.
   EQU ESC TO CHAR(27)
   MODE.NAMES = ''
   MODE.NAMES := 'VIEW':@VM:'EDIT'
   OPEN 'MENUS' TO F.MENUS ELSE RETURN
   READ MENU FROM F.MENUS, MENU.ID ELSE
      CRT 'No menu ':MENU.ID
      RETURN
   END
   N.OPTS = DCOUNT(MENU<2>, @VM)
10 CRT @(-1)
   CRT @(10,1):MENU<1>
   FOR I = 1 TO N.OPTS
      CRT @(5,I+2):I 'R#2':' ':MENU<2,I>
   NEXT I
20 * ask for the option
   CRT @(5,N.OPTS+4):'Option: ':
   INPUT ANS
   IF ANS = '' THEN GOTO 20
   IF ANS = ESC THEN
      CHOICE = 0
      RETURN
   END
   IF NUM(ANS) ELSE
      CRT 'Not a number'
      GOTO 20
   END
   IF ANS < 1 OR ANS > N.OPTS THEN
      CRT 'No such option'
      GOTO 20
   END
   BEGIN CASE
      CASE ANS = 1
         CHOICE = 1
      CASE ANS = 2 ; * second choice
         CHOICE = 2
      CASE 1
         CHOICE = ANS
   END CASE
   IF CHOICE # 0 THEN
      TITLE = MENU<2,CHOICE>
      CRT @(5,22):'Chosen: ':TITLE[1,20]
   END
   IF MENU<3>[1,3] = 'YES' THEN GOTO 10
   RETURN
END

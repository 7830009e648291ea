'
' REC.EDIT - a line editor for one record
'
      PROMPT ":"
      CRT "File name: " , False
      IInput FILE_NAME
      If Not OOPEN ( FILE_NAME , F_FILE ) Then
         CRT "Cannot open " & FILE_NAME
         SStop
      END If
GET_ID:
      CRT "Record id: " , False
      IInput REC_ID
      IF REC_ID = "" THEN SStop
      ReadFound1 = RREADU ( REC , F_FILE , REC_ID )
      If Not ReadFound1 And Val( Mid( ErrorDetail , 2 ) ) = 920 Then
         CRT "Record in use"
         GOTO GET_ID
      ElseIf ReadFound1 Then
         CRT "Record read"
      ElseIf Not ReadFound1 Then
         CRT "New record"
         REC = ""
      END If
      CUR_LINE = 1
      Do
         CRT FMT(CUR_LINE, "R%3") & " " & Extract( REC , CUR_LINE )
         IInput CMD
         VERB = Mid( CMD , 1 , 1 )
         ARG = Mid( CMD , 2 , 99 )
      If Not ( VERB <> "Q" ) Then Exit Do
'---- was a databasic BEGIN CASE ---
            If VERB = "N" Then
            CUR_LINE = CUR_LINE + 1
            ElseIf VERB = "P" Then
               IF CUR_LINE > 1 THEN CUR_LINE = CUR_LINE - 1
            ElseIf VERB = "R" Then
               REC = RReplace( REC , CUR_LINE , ARG )
            ElseIf VERB = "I" Then
               FMT(FMT(FMT(INS, ARG), BEFORE), Extract( REC , CUR_LINE ))
            ElseIf VERB = "D" Then
               FMT(DEL, Extract( REC , CUR_LINE ))
            ElseIf VERB = "F" Then
               GOSUB FILE_IT
               RELEASE F_FILE , REC_ID
               GOTO GET_ID
            Else
               CRT "Commands are N P R I D F Q"
         End If
      Loop
      RELEASE F_FILE , REC_ID
      GOTO GET_ID
'
FILE_IT: '-- label, was ! write the record back
      CALL WWRITE ( REC , F_FILE , REC_ID )
      CRT "Filed " & REC_ID
      RETURN
Exit Sub  ' === END ===
End Sub

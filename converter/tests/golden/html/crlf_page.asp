Response.Write "<html>"
Response.Write "<body>" & vbCrLf
Response.Write "<p>A page, ""quoted"", with a comment" & vbCrLf
Response.Write "<!-- here --></p>" & vbCrLf
Response.Write "</body>" & vbCrLf
Response.Write ""

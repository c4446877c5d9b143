Sub Tamrick()
End Sub
